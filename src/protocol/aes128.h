#pragma once
// AES-128 block cipher (FIPS-197): one 16-byte block at a time, no mode.
#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kAesBlockSize = 16;
constexpr size_t kAesKeySize = 16;

// Holds the expanded key schedule of one 128-bit key.
class CAes128 {
public:
    explicit CAes128(const uint8_t (&key)[kAesKeySize]);

    void EncryptBlock(const uint8_t* in, uint8_t* out) const;
    void DecryptBlock(const uint8_t* in, uint8_t* out) const;

private:
    static constexpr int kRounds = 10;
    std::array<uint8_t, kAesBlockSize*(kRounds + 1)> m_roundKeys;
};
