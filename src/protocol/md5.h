#pragma once
// MD5 message digest (RFC 1321), used for the password digest.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr size_t kMd5BlockSize = 64;
constexpr size_t kMd5DigestSize = 16;

using Md5Digest = std::array<uint8_t, kMd5DigestSize>;

// Running MD5 state; Md5Final leaves it reset, ready for a new message.
struct MD5_CTX {
    uint32_t state[4];
    uint64_t bitCount;
    uint8_t buffer[kMd5BlockSize];
    uint8_t padding[kMd5BlockSize];
};

void Md5Init(MD5_CTX& ctx);
void Md5Update(MD5_CTX& ctx, const uint8_t* data, size_t size);
Md5Digest Md5Final(MD5_CTX& ctx);

// Digest of a whole message in one call.
Md5Digest Md5(std::string_view bytes);
