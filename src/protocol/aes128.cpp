#include "protocol/aes128.h"

#include <cstring>

namespace {

using Block = uint8_t[kAesBlockSize];

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
constexpr uint8_t XTime(uint8_t a) {
    return static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
}

constexpr uint8_t Multiply(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b) {
        if (b & 1) {
            product ^= a;
        }
        a = XTime(a);
        b >>= 1;
    }
    return product;
}

constexpr uint8_t RotateLeft8(uint8_t x, int n) {
    return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

// The S-box from its definition: multiplicative inverse, then the affine map.
// Inverses come from powers of the generator 3.
struct SBoxes {
    uint8_t forward[256] = {};
    uint8_t inverse[256] = {};
};

constexpr SBoxes MakeSBoxes() {
    uint8_t power[255] = {};
    uint8_t log[256] = {};
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = x;
        log[x] = static_cast<uint8_t>(i);
        x = Multiply(x, 3);
    }
    SBoxes boxes;
    for (int a = 0; a < 256; ++a) {
        const uint8_t inv = a == 0 ? 0 : power[(255 - log[a]) % 255];
        const uint8_t s = static_cast<uint8_t>(inv ^ RotateLeft8(inv, 1) ^ RotateLeft8(inv, 2) ^
                                               RotateLeft8(inv, 3) ^ RotateLeft8(inv, 4) ^ 0x63);
        boxes.forward[a] = s;
        boxes.inverse[s] = static_cast<uint8_t>(a);
    }
    return boxes;
}

constexpr SBoxes kSBoxes = MakeSBoxes();
static_assert(kSBoxes.forward[0x00] == 0x63 && kSBoxes.forward[0x53] == 0xed);

void AddRoundKey(Block state, const uint8_t* roundKey) {
    for (size_t i = 0; i < kAesBlockSize; ++i) {
        state[i] ^= roundKey[i];
    }
}

void SubBytes(Block state, const uint8_t (&box)[256]) {
    for (size_t i = 0; i < kAesBlockSize; ++i) {
        state[i] = box[state[i]];
    }
}

// The state is column-major: byte r + 4c is row r, column c.
void ShiftRows(Block state, bool inverse) {
    Block copy;
    std::memcpy(copy, state, kAesBlockSize);
    for (int r = 1; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const int from = inverse ? (c + 4 - r) % 4 : (c + r) % 4;
            state[r + 4 * c] = copy[r + 4 * from];
        }
    }
}

void MixColumns(Block state, bool inverse) {
    const uint8_t k0 = inverse ? 0x0e : 0x02, k1 = inverse ? 0x0b : 0x03;
    const uint8_t k2 = inverse ? 0x0d : 0x01, k3 = inverse ? 0x09 : 0x01;
    for (int c = 0; c < 4; ++c) {
        uint8_t* col = state + 4 * c;
        const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = Multiply(a0, k0) ^ Multiply(a1, k1) ^ Multiply(a2, k2) ^ Multiply(a3, k3);
        col[1] = Multiply(a0, k3) ^ Multiply(a1, k0) ^ Multiply(a2, k1) ^ Multiply(a3, k2);
        col[2] = Multiply(a0, k2) ^ Multiply(a1, k3) ^ Multiply(a2, k0) ^ Multiply(a3, k1);
        col[3] = Multiply(a0, k1) ^ Multiply(a1, k2) ^ Multiply(a2, k3) ^ Multiply(a3, k0);
    }
}

} // namespace

CAes128::CAes128(const uint8_t (&key)[kAesKeySize]) {
    std::memcpy(m_roundKeys.data(), key, kAesKeySize);
    uint8_t roundConstant = 0x01;
    for (size_t i = kAesKeySize; i < m_roundKeys.size(); i += 4) {
        uint8_t word[4];
        std::memcpy(word, &m_roundKeys[i - 4], 4);
        if (i % kAesKeySize == 0) {
            // RotWord, SubWord, then the round constant.
            const uint8_t first = word[0];
            word[0] = kSBoxes.forward[word[1]] ^ roundConstant;
            word[1] = kSBoxes.forward[word[2]];
            word[2] = kSBoxes.forward[word[3]];
            word[3] = kSBoxes.forward[first];
            roundConstant = XTime(roundConstant);
        }
        for (int j = 0; j < 4; ++j) {
            m_roundKeys[i + j] = m_roundKeys[i + j - kAesKeySize] ^ word[j];
        }
    }
}

void CAes128::EncryptBlock(const uint8_t* in, uint8_t* out) const {
    Block state;
    std::memcpy(state, in, kAesBlockSize);
    AddRoundKey(state, &m_roundKeys[0]);
    for (int round = 1; round <= kRounds; ++round) {
        SubBytes(state, kSBoxes.forward);
        ShiftRows(state, false);
        if (round != kRounds) {
            MixColumns(state, false);
        }
        AddRoundKey(state, &m_roundKeys[round * kAesBlockSize]);
    }
    std::memcpy(out, state, kAesBlockSize);
}

void CAes128::DecryptBlock(const uint8_t* in, uint8_t* out) const {
    Block state;
    std::memcpy(state, in, kAesBlockSize);
    AddRoundKey(state, &m_roundKeys[kRounds * kAesBlockSize]);
    for (int round = kRounds - 1; round >= 0; --round) {
        ShiftRows(state, true);
        SubBytes(state, kSBoxes.inverse);
        AddRoundKey(state, &m_roundKeys[round * kAesBlockSize]);
        if (round != 0) {
            MixColumns(state, true);
        }
    }
    std::memcpy(out, state, kAesBlockSize);
}
