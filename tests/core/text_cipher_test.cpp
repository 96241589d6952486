#include "protocol/text_cipher.h"

#include "text/ansi_text.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::wstring kKeyA = L"Ab3dEf7hIj1lMn0p";
const std::wstring kKeyB = L"w3>qT8sZ!pLx2Jv#";

} // namespace

// Known answers computed independently (AES-128 ECB, zero padding, Base64 over code page 936).
TEST(TextCipher, KnownAnswers) {
    const struct {
        std::wstring plain, key, cipher;
    } cases[] = {
        {L"", kKeyB, L"pzxwBtfrpAACDdmTqfLL4Q=="},
        {L"userno=13800138000", kKeyB, L"XRSsxG91nKRGXYF5WDjZP4SpBGBU+hYZzsOfe6IwSOU="},
        {L"您的Velmarin有(3)条新消息！", kKeyA, L"/ZsT7XNDPjOGPTqLDww+M1OnkGs/ePEl9BZ8MmMR/8g="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncryptText(c.plain, c.key), c.cipher);
        EXPECT_EQ(DecryptText(c.cipher, c.key), c.plain);
        // Characters outside the alphabet, such as line breaks, are skipped.
        EXPECT_EQ(DecryptText(L" " + c.cipher.substr(0, 9) + L"\r\n" + c.cipher.substr(9), c.key), c.plain);
    }
}

TEST(TextCipher, BlockCountFollowsByteLength) {
    const struct {
        std::wstring plain;
        size_t cipherLength;
    } cases[] = {
        {L"", 24},                    // one block of zeros
        {std::wstring(16, L'x'), 24}, // a full block gets no extra one
        {std::wstring(17, L'x'), 44},
        {std::wstring(8, L'\u4E2D'), 24}, // 16 bytes in code page 936
        {std::wstring(9, L'\u4E2D'), 44},
    };
    for (const auto& c : cases) {
        const std::wstring cipher = EncryptText(c.plain, kKeyA);
        EXPECT_EQ(cipher.size(), c.cipherLength) << c.plain.size();
        EXPECT_TRUE(cipher.ends_with(c.cipherLength == 24 ? L"==" : L"=")) << c.plain.size();
    }
}

TEST(TextCipher, RoundTripsAnyKey) {
    // Keys are cut or zero-filled to 16 bytes; neither may fault.
    for (const std::wstring& key : {MakeSessionKey(), std::wstring(), std::wstring(40, L'\u4E2D')}) {
        for (const std::wstring& text : {std::wstring(L"a"), std::wstring(300, L'\u6D88') + L"z"}) {
            EXPECT_EQ(DecryptText(EncryptText(text, key), key), text) << text.size();
        }
    }
    EXPECT_EQ(EncryptText(L"abc", kKeyA + L"tail"), EncryptText(L"abc", kKeyA));
}

// Damaged or hostile cipher texts: no fault (the sanitizers watch), and the
// result never holds more bytes than the length rule allows.
TEST(TextCipher, MalformedCipherTextsAreSafe) {
    std::wstring huge(200001, L'A');
    huge[1000] = L'=';
    const std::wstring valid = EncryptText(L"retn=0", kKeyA);
    // Too short for their padding, more bytes than the rule's buffer, a zero first, and more.
    std::vector<std::wstring> inputs = {L"=",   L"==",  L"A=",   L"A==",     L"=A",
                                        L"AB=", L"ABC", L"AB=C", L"\r\n\r\n"};
    inputs.insert(inputs.end(), {std::wstring(23, L'='), std::wstring(67, L'/'), valid.substr(0, 5),
                                 valid + valid, valid + L"=====", std::wstring(1, L'\0') + valid, huge,
                                 std::wstring(5, L'\u4E2D') + L"AAAAAAAAAAAAAAAAAAAAAA"});
    for (const std::wstring& input : inputs) {
        const size_t bound = (ToAnsi(input).size() / 4 * 3 + 15) / 16 * 16;
        EXPECT_LE(ToAnsi(DecryptText(input, kKeyA)).size(), bound) << input.size();
    }
}

TEST(PasswordDigest, MiddleEightBytesOfMd5InUpperHex) {
    EXPECT_EQ(PasswordDigest(L"123456"), L"49BA59ABBE56E057");  // MD5 e10adc3949ba59abbe56e057f20f883e
    EXPECT_EQ(PasswordDigest(L"密码abc"), L"26853BAD2331891D"); // hashed as code page 936 bytes
}

// Each thread has its own generator: concurrent use stays valid and the threads do not repeat each other.
TEST(MakeSessionKey, TwoThreads) {
    std::vector<std::wstring> first, second;
    auto run = [](std::vector<std::wstring>& out) {
        for (int i = 0; i < 500; ++i) {
            out.push_back(MakeSessionKey());
        }
    };
    std::thread a(run, std::ref(first)), b(run, std::ref(second));
    a.join();
    b.join();
    std::set<std::wstring> all(first.begin(), first.end());
    all.insert(second.begin(), second.end());
    EXPECT_EQ(all.size(), 1000u);
    for (const std::wstring& key : all) {
        EXPECT_TRUE(std::regex_match(key, std::wregex(L"[0-9A-Za-z]{16}"))) << key;
    }
}
