#include "skin/core/theme_values.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const SkinColour kDefault = MakeSkinColour(1, 2, 3);

TEST(ThemeValues, ParseColourTable) {
    const struct {
        const char* text;
        SkinColour expected;
    } cases[] = {
        {"255 0 255", MakeSkinColour(255, 0, 255)},
        {"10  20 30", MakeSkinColour(10, 0, 20)}, // the second space ends an empty token
        {"0,128,0", MakeSkinColour(0, 0, 0)},     // one token, converted as 0
        {"256 300 -1", MakeSkinColour(0, 44, 255)},
        {"0 0 0", MakeSkinColour(0, 0, 0)}, // black is a value, not a missing one
        {"", kDefault},
        {"1\t2\n3", MakeSkinColour(1, 2, 3)},
        {"12", MakeSkinColour(12, 0, 0)},
        {"12 34", MakeSkinColour(12, 34, 0)},
        {" 5 6 7", MakeSkinColour(0, 5, 6)},
        {"+7 -0 9x", MakeSkinColour(7, 0, 9)},
        {"1 2 3 4", MakeSkinColour(1, 2, 3)},
        {"\r8 9 10", MakeSkinColour(8, 9, 10)}, // atoi skips other white space itself
        {"4294967551 0 0", MakeSkinColour(255, 0, 0)},
        {"99999999999999999999 1 1", MakeSkinColour(255, 1, 1)},
        // A double-byte character is copied whole: its trail byte is no separator.
        {"\xB5\x20 5 6", MakeSkinColour(0, 5, 6)},
        {"7 8 \xB5", MakeSkinColour(7, 8, 0)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseColour(c.text, kDefault), c.expected) << '"' << c.text << '"';
    }
}

TEST(ThemeValues, PathsTable) {
    const std::string longFolder(300, 'd');
    const std::string longName(300, 'n');
    const struct {
        std::string themePath, value;
        std::string folder, fileName, resolved;
    } cases[] = {
        {"skin\\theme.ini", "pic\\top.bmp", "skin\\", "top.bmp", "skin\\/top.bmp"},
        {"skin\\theme.ini", "top.bmp", "skin\\", "top.bmp", "skin\\/top.bmp"},
        {"a/b\\theme.ini", "x/y/z.bmp", "a/b\\", "z.bmp", "a/b\\/z.bmp"},
        {"c:\\t\\", "p/", "c:\\t\\", "", "c:\\t\\/"},
        // Without a folder the image is looked up beside the theme, not at the root.
        {"theme.ini", "pic\\top.bmp", "", "top.bmp", "top.bmp"},
        // A trail byte 0x5C of a double-byte character is no separator.
        {"d\x81\x5Ctheme.ini", "p\x81\x5Cq.bmp", "", "p\x81\x5Cq.bmp", "p\x81\x5Cq.bmp"},
        {"d\x81\x5C\\theme.ini", "\x81\x5C.bmp", "d\x81\x5C\\", "\x81\x5C.bmp", "d\x81\x5C\\/\x81\x5C.bmp"},
        // Values longer than a path buffer are kept whole, never cut.
        {longFolder + "\\theme.ini", longFolder + "\\x.bmp", longFolder + "\\", "x.bmp",
         longFolder + "\\/x.bmp"},
        {"s\\theme.ini", longName, "s\\", longName, "s\\/" + longName},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.themePath), c.folder) << c.themePath;
        EXPECT_EQ(FileNameOf(c.value), c.fileName) << c.value;
        EXPECT_EQ(ResolveImagePath(c.themePath, c.value), c.resolved) << c.themePath << " + " << c.value;
    }
}

} // namespace
