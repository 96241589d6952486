#include "skin/core/profile_section.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(ProfileSection, AnswersAsTheKeyByKeyReads) {
    const CProfileSection section("Top=top.bmp\0top=second.bmp\0Quoted=\"a b\"\0Single='x'\0Half=\"open\0"
                                  "Lone=\"\0Bare\0Empty=\0Equals=a=b\0\0After=never"s);
    EXPECT_EQ(section.String("TOP"), "top.bmp") << "the first of a key in any case";
    EXPECT_EQ(section.String("Quoted"), "a b");
    EXPECT_EQ(section.String("Single"), "x");
    EXPECT_EQ(section.String("Half"), "\"open");
    EXPECT_EQ(section.String("Lone"), "\"");
    EXPECT_EQ(section.String("Bare"), "");
    EXPECT_EQ(section.String("Empty"), "");
    EXPECT_EQ(section.String("Equals"), "a=b");
    EXPECT_EQ(section.String("After"), std::nullopt) << "the list ends at an empty entry";
    EXPECT_EQ(section.String("Absent"), std::nullopt);
    EXPECT_EQ(section.Int("Absent", 7), 7);
    EXPECT_EQ(section.Int("Empty", 7), 7);
    EXPECT_EQ(section.Int("Top", 7), 0) << "a value that is no number reads as 0";
    EXPECT_EQ(CProfileSection("Cut=12"s).Int("Cut", 7), 12) << "no closing NUL";
    EXPECT_EQ(CProfileSection(""s).String("Any"), std::nullopt);
}

TEST(ProfileSection, NumbersReadLikeThePlatform) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"42", 42},
        {"  \t-17px", -17},
        {"+5", 5},
        {"0x1F", 31},
        {"0o17", 15},
        {"0b101", 5},
        {"0X10", 0},
        {"012", 12},
        {"0", 0},
        {"-", 0},
        {"4294967295", -1},
        {"4294967297", 1},
        {"2147483648", INT32_MIN},
        {"0x", 0},
        {"1234567890123456789012345678", -1103563954}, // wraps; 28 characters, read whole
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileNumber(c.text), c.expected) << c.text;
    }
    // Only 29 characters are read: the thirtieth digit does not count.
    EXPECT_EQ(ProfileNumber(std::string(28, ' ') + "12"), 1);
}

} // namespace
