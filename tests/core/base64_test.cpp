#include "protocol/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Decodes into a buffer one byte larger than capacity and checks that byte stays untouched.
std::string Decode(const std::string& text, size_t capacity) {
    std::vector<uint8_t> out(capacity + 1, 0xAA);
    const size_t n = Base64Decode(text, out.data(), capacity);
    EXPECT_LE(n, capacity);
    EXPECT_EQ(out[capacity], 0xAA) << "wrote past capacity for " << text;
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

} // namespace

TEST(Base64, Rfc4648VectorsBothWays) {
    const std::pair<std::string, const char*> cases[] = {
        {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
        {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {"\xfb\xff", "+/8="}, // the last two letters of the alphabet
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Encode(reinterpret_cast<const uint8_t*>(plain.data()), plain.size()), encoded);
        EXPECT_EQ(Decode(encoded, 16), plain) << encoded;
    }
}

TEST(Base64, DecodeSkipsStopsAndLimits) {
    const struct {
        const char* text;
        size_t capacity;
        const char* expected;
    } cases[] = {
        {"Zm9v\r\nYmFy", 16, "foobar"}, // line breaks skipped
        {"Zm9v*Ym Fy!", 16, "foobar"},  // other non-alphabet characters skipped
        {"Zm8=Zm9v", 16, "fo"},         // stops at the first padding
        {"Zm9vYmFy", 4, "foob"},        // never past capacity
        {"Zm9vYmFy", 0, ""},
        {"Zg", 16, "f"}, // missing padding still decodes
        {"Z", 16, ""},   // six bits make no byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.text, c.capacity), c.expected) << c.text;
    }
}
