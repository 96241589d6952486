#include "protocol/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr int kNotInAlphabet = -1;

int DecodeChar(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return kNotInAlphabet;
}

} // namespace

std::string Base64Encode(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t group = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 63];
        out += kAlphabet[(group >> 6) & 63];
        out += kAlphabet[group & 63];
    }
    const size_t rest = size - i;
    if (rest > 0) {
        const uint32_t group = uint32_t(data[i]) << 16 | (rest == 2 ? uint32_t(data[i + 1]) << 8 : 0);
        out += kAlphabet[group >> 18];
        out += kAlphabet[(group >> 12) & 63];
        out += rest == 2 ? kAlphabet[(group >> 6) & 63] : kPad;
        out += kPad;
    }
    return out;
}

size_t Base64Decode(std::string_view text, uint8_t* out, size_t capacity) {
    size_t written = 0;
    uint32_t bits = 0;
    int bitCount = 0;
    for (char c : text) {
        if (c == kPad || written == capacity) {
            break;
        }
        const int value = DecodeChar(c);
        if (value == kNotInAlphabet) {
            continue;
        }
        bits = (bits << 6 | static_cast<uint32_t>(value)) & 0xffffff;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out[written++] = static_cast<uint8_t>(bits >> bitCount);
        }
    }
    return written;
}
