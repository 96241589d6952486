#pragma once
// Base64 (RFC 4648, standard alphabet, "=" padding, no line breaks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

std::string Base64Encode(const uint8_t* data, size_t size);

// Decodes into out, writing at most capacity bytes, and returns the count
// written. Characters outside the alphabet are skipped; decoding stops at the
// first "=" or at the end of the text. Trailing bits short of a byte are dropped.
size_t Base64Decode(std::string_view text, uint8_t* out, size_t capacity);
