#pragma once
#include <cstddef>
#include <cstdint>

// The largest advertisement picture the login dialog downloads.
constexpr std::uint32_t kMaxAdvertisementBytes = 1u << 20;

// True when data starts as a GIF file does ("GIF87a" or "GIF89a").
bool IsGifSignature(const std::uint8_t* data, std::size_t size);
