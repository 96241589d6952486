#include "protocol/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string Hex(const Md5Digest& digest) {
    std::string text;
    for (uint8_t b : digest) {
        text += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    }
    return text;
}

} // namespace

// Whole, and again in uneven pieces through one context that each Md5Final resets.
TEST(Md5, KnownDigestsWholeAndInPieces) {
    const std::pair<std::string, const char*> cases[] = {
        {"abc", "900150983cd24fb0d6963f7d28e17f72"}, // RFC 1321, A.5
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},                       // RFC 1321, A.5
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"}, // length needs a padding block of its own
    };
    MD5_CTX ctx;
    Md5Init(ctx);
    for (const auto& [message, digest] : cases) {
        SCOPED_TRACE(message.size());
        EXPECT_EQ(Hex(Md5(message)), digest);
        for (size_t at = 0, step = 1; at < message.size(); at += step, step = step * 2 + 1) {
            Md5Update(ctx, reinterpret_cast<const uint8_t*>(message.data() + at),
                      std::min(step, message.size() - at));
        }
        EXPECT_EQ(Hex(Md5Final(ctx)), digest);
    }
}
