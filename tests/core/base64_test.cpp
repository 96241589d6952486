#include "protocol/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Encode(const std::string& bytes) {
    return Base64Encode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Decode(const std::string& text, size_t capacity) {
    std::vector<uint8_t> out(capacity + 1, 0xAA);
    const size_t n = Base64Decode(text, out.data(), capacity);
    EXPECT_LE(n, capacity);
    EXPECT_EQ(out[capacity], 0xAA) << "wrote past capacity for " << text;
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

// RFC 4648, section 10.
const std::pair<const char*, const char*> kRfc4648Vectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

} // namespace

TEST(Base64, Rfc4648Vectors) {
    for (const auto& [plain, encoded] : kRfc4648Vectors) {
        EXPECT_EQ(Encode(plain), encoded);
        EXPECT_EQ(Decode(encoded, 16), plain) << encoded;
    }
}

TEST(Base64, EncodesEveryByteValue) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const std::string text = Encode(all);
    EXPECT_EQ(text.size(), 344u);
    EXPECT_EQ(text.substr(0, 8), "AAECAwQF");
    EXPECT_EQ(text.substr(336), "/P3+/w==");
    EXPECT_EQ(Decode(text, 256), all);
}

TEST(Base64, DecodeSkipsStopsAndLimits) {
    struct Case {
        const char* text;
        size_t capacity;
        const char* expected;
    };
    const Case cases[] = {
        {"Zm9v\r\nYmFy", 16, "foobar"}, // line breaks skipped
        {" Z m 9 v ", 16, "foo"},       // spaces skipped
        {"Zm9v*YmFy!", 16, "foobar"},   // other non-alphabet characters skipped
        {"Zm8=Zm9v", 16, "fo"},         // stops at the first padding
        {"=Zm9v", 16, ""},              // padding first
        {"Zm9vYmFy", 4, "foob"},        // never past capacity
        {"Zm9vYmFy", 0, ""},            // no room at all
        {"Zg", 16, "f"},                // missing padding still decodes
        {"Z", 16, ""},                  // six bits make no byte
        {"!!!!", 16, ""},               // nothing in the alphabet
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decode(c.text, c.capacity), c.expected) << c.text;
}
