#include "release/core/download_headers.h"
#include "release/core/gif_signature.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(DownloadHeaders, ContentLengthLeadingDigitsOrUnknown) {
    const struct {
        const wchar_t* text;
        std::uint64_t length;
    } cases[] = {
        {L"1234", 1234},
        {L" \t56 bytes", 56},
        {L"", 0},
        {L"abc", 0},
        {L"-5", 0},
        {L"18446744073709551615", 18446744073709551615ull},
        {L"18446744073709551616", 18446744073709551615ull}, // saturates, never wraps to 0
        {L"99999999999999999999999999", 18446744073709551615ull},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseContentLength(c.text), c.length) << c.text;
    }
}

// Whatever the system's date parser hands over, the text is whole.
TEST(DownloadHeaders, ModificationTimeIsNeverCut) {
    EXPECT_EQ(FormatModificationTime({2026, 12, 7, 8, 5, 9}), L"2026-12-07 08:05:09");
    EXPECT_EQ(FormatModificationTime({}), L"0000-00-00 00:00:00");
    EXPECT_EQ(FormatModificationTime({65535, 65535, 65535, 65535, 65535, 65535}),
              L"65535-65535-65535 65535:65535:65535");
}

namespace {

TEST(AdvertisementSignature, OnlyGifFilesAreKept) {
    struct Case {
        const char* bytes;
        bool gif;
    };
    const Case cases[] = {
        {"GIF89a\x01\x00", true},    {"GIF87a", true},  {"GIF89", false}, {"GIF88a....", false},
        {"MZ\x90\x00GIF89a", false}, {"gif89a", false}, {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsGifSignature(reinterpret_cast<const std::uint8_t*>(c.bytes), std::strlen(c.bytes)), c.gif)
            << c.bytes;
    }
}

} // namespace
