#include "release/core/gif_signature.h"

#include <cstring>

bool IsGifSignature(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kLength = 6;
    return size >= kLength &&
           (std::memcmp(data, "GIF87a", kLength) == 0 || std::memcmp(data, "GIF89a", kLength) == 0);
}
