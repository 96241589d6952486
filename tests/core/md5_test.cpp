#include "protocol/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const Md5Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

struct Md5Case {
    const char* message;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const Md5Case kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

} // namespace

TEST(Md5, Rfc1321Suite) {
    for (const Md5Case& c : kRfc1321Suite)
        EXPECT_EQ(Hex(Md5(c.message)), c.digest) << '"' << c.message << '"';
}

// Feeding in uneven pieces that straddle block and padding boundaries gives the same digest.
TEST(Md5, PiecewiseUpdateMatchesOneCall) {
    std::string message;
    for (int i = 0; i < 200; ++i)
        message += static_cast<char>('a' + i % 26);
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        const std::string part = message.substr(0, length);
        MD5_CTX ctx;
        Md5Init(ctx);
        for (size_t at = 0, step = 1; at < part.size(); at += step, step = step * 2 + 1) {
            const size_t take = std::min(step, part.size() - at);
            Md5Update(ctx, reinterpret_cast<const uint8_t*>(part.data() + at), take);
        }
        EXPECT_EQ(Hex(Md5Final(ctx)), Hex(Md5(part))) << length;
    }
}

TEST(Md5, FinalLeavesContextReadyForNextMessage) {
    MD5_CTX ctx;
    Md5Init(ctx);
    const uint8_t abc[] = {'a', 'b', 'c'};
    Md5Update(ctx, abc, sizeof(abc));
    EXPECT_EQ(Hex(Md5Final(ctx)), "900150983cd24fb0d6963f7d28e17f72");
    Md5Update(ctx, abc, 1);
    EXPECT_EQ(Hex(Md5Final(ctx)), "0cc175b9c0f1b6a831c399e269772661");
}
