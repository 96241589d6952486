#include "text/ansi_text.h"

#include <gtest/gtest.h>

// Both builds must agree on code page 936 (the Windows build runs under a
// zh_CN locale), since enciphered and hashed bytes depend on it.
TEST(AnsiText, ConvertsChineseBothWays) {
    const std::string bytes = "\xB5\xC7\xC2\xBC"; // "登录" in code page 936
    EXPECT_EQ(ToAnsi(L"\u767B\u5F55"), bytes);
    EXPECT_EQ(FromAnsi(bytes), L"\u767B\u5F55");
    EXPECT_EQ(ToAnsi(L"abc"), "abc");
    EXPECT_EQ(ToAnsi(L""), "");
    EXPECT_EQ(FromAnsi(""), L"");
}

TEST(AnsiText, UnconvertibleInputStillFinishes) {
    // A lone lead byte at the end cannot be decoded; conversion must not stop early.
    std::wstring w = FromAnsi("ab\xB5");
    EXPECT_EQ(w.substr(0, 2), L"ab");
    EXPECT_EQ(w.size(), 3u);
}
