#include "skin/core/theme_values.h"

#include <array>
#include <cstdint>

namespace {

bool IsLeadByte(char c) {
    return static_cast<unsigned char>(c) > 128;
}

bool IsTokenSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

// Cuts one token from the front of text; the separator that ends it is
// consumed. A double-byte character never ends a token.
std::string_view CutToken(std::string_view& text) {
    std::size_t i = 0;
    while (i < text.size() && !IsTokenSeparator(text[i])) {
        i += (IsLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
    }
    const std::string_view token = text.substr(0, i);
    text.remove_prefix(i < text.size() ? i + 1 : i);
    return token;
}

// The C library's atoi, but with wrap-around instead of undefined overflow:
// the low 8 bits, all that is kept, come out as for any in-range number.
int AsciiToInt(std::string_view token) {
    std::size_t i = 0;
    while (i < token.size() && (token[i] == ' ' || (token[i] >= '\t' && token[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(token[i] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int>(value & 0xFFu);
}

// Position of the last path separator that is a whole character, or npos.
std::size_t LastPathSeparator(std::string_view path) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(path[i])) {
            ++i; // the trail byte of a double-byte character may look like "\"
        } else if (IsPathSeparator(path[i])) {
            last = i;
        }
    }
    return last;
}

} // namespace

SkinColour ParseColour(std::string_view text, SkinColour defaultColour) {
    if (text.empty()) {
        return defaultColour;
    }
    std::array<int, 3> parts{};
    for (int& part : parts) {
        part = AsciiToInt(CutToken(text));
    }
    return MakeSkinColour(parts[0], parts[1], parts[2]);
}

std::string FolderOf(std::string_view path) {
    const std::size_t last = LastPathSeparator(path);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string FileNameOf(std::string_view value) {
    const std::size_t last = LastPathSeparator(value);
    return std::string(last == std::string_view::npos ? value : value.substr(last + 1));
}

std::string ResolveImagePath(std::string_view themePath, std::string_view value) {
    const std::string folder = FolderOf(themePath);
    const std::string name = FileNameOf(value);
    if (folder.empty()) {
        return name;
    }
    return folder + "/" + name;
}
