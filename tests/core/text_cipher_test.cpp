#include "protocol/text_cipher.h"

#include "text/ansi_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::wstring kKeyA = L"Ab3dEf7hIj1lMn0p";
const std::wstring kKeyB = L"w3>qT8sZ!pLx2Jv#";

bool IsKeyCharacter(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsValidKey(const std::wstring& key) {
    return key.size() == 16 && std::all_of(key.begin(), key.end(), IsKeyCharacter);
}

} // namespace

// Known answers computed independently (AES-128 ECB, zero padding, Base64 over code page 936).
TEST(TextCipher, KnownAnswers) {
    struct Case {
        std::wstring plain, key, cipher;
    };
    const Case cases[] = {
        {L"", kKeyB, L"pzxwBtfrpAACDdmTqfLL4Q=="},
        {L"userno=13800138000", kKeyB, L"XRSsxG91nKRGXYF5WDjZP4SpBGBU+hYZzsOfe6IwSOU="},
        {L"0123456789abcdef", kKeyA, L"MZy9yLpvD2jYPm419mfnDw=="},
        {L"您的Velmarin有(3)条新消息！", kKeyA, L"/ZsT7XNDPjOGPTqLDww+M1OnkGs/ePEl9BZ8MmMR/8g="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncryptText(c.plain, c.key), c.cipher);
        EXPECT_EQ(DecryptText(c.cipher, c.key), c.plain);
    }
}

TEST(TextCipher, BlockCountFollowsByteLength) {
    struct Case {
        std::wstring plain;
        size_t cipherLength;
        const wchar_t* tail;
    };
    const Case cases[] = {
        {L"", 24, L"=="}, // one block of zeros
        {std::wstring(15, L'x'), 24, L"=="},
        {std::wstring(16, L'x'), 24, L"=="}, // a full block gets no extra one
        {std::wstring(17, L'x'), 44, L"="},
        {std::wstring(32, L'x'), 44, L"="},
        {std::wstring(8, L'\u4E2D'), 24, L"=="}, // 8 characters, 16 bytes in code page 936
        {std::wstring(9, L'\u4E2D'), 44, L"="},
    };
    for (const Case& c : cases) {
        const std::wstring cipher = EncryptText(c.plain, kKeyA);
        EXPECT_EQ(cipher.size(), c.cipherLength) << c.plain.size();
        EXPECT_TRUE(cipher.ends_with(c.tail)) << c.plain.size();
    }
}

TEST(TextCipher, RoundTrips) {
    std::wstring longText;
    for (int i = 0; i < 700; ++i)
        longText += static_cast<wchar_t>(i % 3 == 0 ? L'\u6D88' : L'a' + i % 26);
    const std::wstring texts[] = {
        L"a",
        L"userno=13800138000&pass=XRSsxG91nKRGXYF5WDjZP4Sp+/==&ltoken=t",
        std::wstring(31, L'z'),
        std::wstring(33, L'z'),
        L"同一用户再登录，注销当前用户",
        L"<?xml version=\"1.0\"?><setting><user no=\"075512345678\"/></setting>",
        longText,
    };
    for (const std::wstring& text : texts)
        for (const std::wstring& key : {kKeyA, kKeyB, MakeSessionKey()})
            EXPECT_EQ(DecryptText(EncryptText(text, key), key), text) << text.size();
}

TEST(TextCipher, DecryptSkipsCharactersOutsideAlphabet) {
    const std::wstring plain = L"sessionid=0123456789abcdef0123";
    const std::wstring cipher = EncryptText(plain, kKeyA);
    std::wstring broken;
    for (size_t i = 0; i < cipher.size(); ++i) {
        if (i % 10 == 9)
            broken += L"\r\n";
        broken += cipher[i];
    }
    EXPECT_EQ(DecryptText(broken, kKeyA), plain);
    EXPECT_EQ(DecryptText(L" " + cipher, kKeyA), plain);
}

TEST(TextCipher, WrongKeyGarblesSilently) {
    const std::wstring plain = L"retn=0&sessionid=S1&skey=K";
    const std::wstring cipher = EncryptText(plain, kKeyA);
    const std::wstring garbled = DecryptText(cipher, kKeyB);
    EXPECT_NE(garbled, plain);
    EXPECT_EQ(garbled.find(L"retn="), std::wstring::npos);
    // Never longer than the deciphered blocks.
    EXPECT_LE(ToAnsi(garbled).size(), 32u);
    EXPECT_EQ(DecryptText(cipher, kKeyA), plain);
}

// Keys are cut or zero-filled to 16 bytes; neither may fault.
TEST(TextCipher, OddKeyLengths) {
    EXPECT_EQ(EncryptText(L"abc", kKeyA + L"tail"), EncryptText(L"abc", kKeyA));
    for (const std::wstring& key : {std::wstring(), std::wstring(L"k"), std::wstring(40, L'\u4E2D')})
        EXPECT_EQ(DecryptText(EncryptText(L"abc", key), key), L"abc");
}

// Damaged or hostile cipher texts: no fault (the sanitizers watch), and the
// result never holds more bytes than the length rule allows.
TEST(TextCipher, MalformedCipherTextsAreSafe) {
    std::wstring huge(200001, L'A');
    huge[1000] = L'=';
    const std::wstring valid = EncryptText(L"retn=0", kKeyA);
    const std::wstring inputs[] = {
        L"",
        L"=",
        L"==",
        L"A=",
        L"A==",
        L"=A",
        L"AB=",
        L"AB=C",
        L"====",
        L"=======================",
        L"AAAA",
        L"\r\n\r\n",
        L"!!!!!!!!!!!!!!!!!!!!!!!!",
        std::wstring(67, L'/'), // decodes to more bytes than the rule's buffer
        std::wstring(5, L'\u4E2D') + L"AAAAAAAAAAAAAAAAAAAAAA",
        valid.substr(0, valid.size() - 1),
        valid.substr(0, 5),
        valid + valid,
        valid + L"=====",
        L"==" + valid,
        std::wstring(1, L'\0') + valid,
        huge,
    };
    for (const std::wstring& input : inputs) {
        const std::string bytes = ToAnsi(input);
        const size_t whole = bytes.size() / 4 * 3;
        const size_t bound = (whole + 15) / 16 * 16;
        const std::wstring plain = DecryptText(input, kKeyA);
        EXPECT_LE(ToAnsi(plain).size(), bound) << input.size();
    }
}

TEST(TextCipher, TooShortForPaddingDecipheresToNothing) {
    for (const wchar_t* input : {L"=", L"==", L"A=", L"A==", L"AB=", L"A", L"AB", L"ABC"})
        EXPECT_EQ(DecryptText(input, kKeyA), L"") << input;
}

TEST(PasswordDigest, MiddleEightBytesOfMd5InUpperHex) {
    struct Case {
        std::wstring password, digest;
    };
    const Case cases[] = {
        {L"123456", L"49BA59ABBE56E057"}, // MD5 e10adc3949ba59abbe56e057f20f883e
        {L"", L"8F00B204E9800998"},
        {L"密码abc", L"26853BAD2331891D"}, // hashed as code page 936 bytes
    };
    for (const Case& c : cases)
        EXPECT_EQ(PasswordDigest(c.password), c.digest);
    const std::wregex format(L"[0-9A-F]{16}");
    for (const std::wstring& password : {std::wstring(1000, L'p'), MakeSessionKey()})
        EXPECT_TRUE(std::regex_match(PasswordDigest(password), format));
}

TEST(MakeSessionKey, AlphabetAndVariety) {
    std::set<std::wstring> keys;
    for (int i = 0; i < 200; ++i) {
        const std::wstring key = MakeSessionKey();
        EXPECT_TRUE(IsValidKey(key)) << key;
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), 200u);
}

// Each thread has its own generator: concurrent use stays valid and the threads do not repeat each other.
TEST(MakeSessionKey, TwoThreads) {
    std::vector<std::wstring> first, second;
    auto run = [](std::vector<std::wstring>& out) {
        for (int i = 0; i < 500; ++i)
            out.push_back(MakeSessionKey());
    };
    std::thread a(run, std::ref(first));
    std::thread b(run, std::ref(second));
    a.join();
    b.join();
    std::set<std::wstring> all(first.begin(), first.end());
    all.insert(second.begin(), second.end());
    EXPECT_EQ(all.size(), 1000u);
    for (const std::wstring& key : all)
        EXPECT_TRUE(IsValidKey(key)) << key;
}
