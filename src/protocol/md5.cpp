#include "protocol/md5.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kInitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// Per-round shift amounts, four per round.
constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// T[i] = floor(2^32 * abs(sin(i + 1))).
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

uint32_t LoadLittleEndian(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLittleEndian(uint32_t v, uint8_t* p) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void Transform(uint32_t state[4], const uint8_t block[kMd5BlockSize]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = LoadLittleEndian(block + 4 * i);
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            k = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            k = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            k = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            k = (7 * i) % 16;
            break;
        }
        const uint32_t rotated = RotateLeft(a + f + x[k] + kSines[i], kShifts[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

} // namespace

void Md5Init(MD5_CTX& ctx) {
    std::memcpy(ctx.state, kInitialState, sizeof(ctx.state));
    ctx.bitCount = 0;
    std::memset(ctx.buffer, 0, sizeof(ctx.buffer));
    std::memset(ctx.padding, 0, sizeof(ctx.padding));
    ctx.padding[0] = 0x80;
}

void Md5Update(MD5_CTX& ctx, const uint8_t* data, size_t size) {
    size_t used = static_cast<size_t>((ctx.bitCount / 8) % kMd5BlockSize);
    ctx.bitCount += static_cast<uint64_t>(size) * 8;
    while (size > 0) {
        const size_t take = std::min(size, kMd5BlockSize - used);
        std::memcpy(ctx.buffer + used, data, take);
        used += take;
        data += take;
        size -= take;
        if (used == kMd5BlockSize) {
            Transform(ctx.state, ctx.buffer);
            used = 0;
        }
    }
}

Md5Digest Md5Final(MD5_CTX& ctx) {
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) {
        length[i] = static_cast<uint8_t>(ctx.bitCount >> (8 * i));
    }
    // Pad to 56 bytes mod 64, then append the bit count.
    const size_t used = static_cast<size_t>((ctx.bitCount / 8) % kMd5BlockSize);
    const size_t padSize = used < 56 ? 56 - used : 120 - used;
    Md5Update(ctx, ctx.padding, padSize);
    Md5Update(ctx, length, sizeof(length));
    Md5Digest digest;
    for (int i = 0; i < 4; ++i) {
        StoreLittleEndian(ctx.state[i], digest.data() + 4 * i);
    }
    Md5Init(ctx);
    return digest;
}

Md5Digest Md5(std::string_view bytes) {
    MD5_CTX ctx;
    Md5Init(ctx);
    Md5Update(ctx, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return Md5Final(ctx);
}
