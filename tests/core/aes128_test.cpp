#include "protocol/aes128.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

} // namespace

TEST(Aes128, Fips197KnownAnswers) {
    const struct {
        const char *key, *plain, *cipher;
    } cases[] = {
        // Appendix C.1 and appendix B.
        {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
         "3925841d02dc09fbdc118597196a0b32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        uint8_t key[kAesKeySize];
        std::vector<uint8_t> keyBytes = Bytes(c.key), plain = Bytes(c.plain), out(kAesBlockSize),
                             back(kAesBlockSize);
        std::copy(keyBytes.begin(), keyBytes.end(), key);
        const CAes128 aes(key);
        aes.EncryptBlock(plain.data(), out.data());
        EXPECT_EQ(out, Bytes(c.cipher));
        aes.DecryptBlock(out.data(), back.data());
        EXPECT_EQ(back, plain);
    }
}
