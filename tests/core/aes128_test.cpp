#include "protocol/aes128.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

void FromHex(const char* hex, uint8_t* out) {
    for (size_t i = 0; i < kAesBlockSize; ++i)
        out[i] = static_cast<uint8_t>(std::stoi(std::string(hex + 2 * i, 2), nullptr, 16));
}

struct AesCase {
    const char* key;
    const char* plain;
    const char* cipher;
};

const AesCase kFips197Cases[] = {
    // Appendix C.1 (AES-128).
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    // Appendix B (cipher example).
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
};

} // namespace

TEST(Aes128, Fips197KnownAnswers) {
    for (const AesCase& c : kFips197Cases) {
        uint8_t key[kAesKeySize], plain[kAesBlockSize], out[kAesBlockSize], back[kAesBlockSize];
        FromHex(c.key, key);
        FromHex(c.plain, plain);
        const CAes128 aes(key);
        aes.EncryptBlock(plain, out);
        EXPECT_EQ(Hex(out, kAesBlockSize), c.cipher) << c.key;
        aes.DecryptBlock(out, back);
        EXPECT_EQ(Hex(back, kAesBlockSize), c.plain) << c.key;
    }
}
