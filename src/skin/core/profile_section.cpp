#include "skin/core/profile_section.h"

#include <algorithm>
#include <cstdint>

namespace {

// The platform's integer read takes a value through a 30-character buffer.
constexpr std::size_t kNumberChars = 29;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameKey(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

CProfileSection::CProfileSection(std::string_view entries) {
    while (!entries.empty()) {
        const std::size_t end = std::min(entries.find('\0'), entries.size());
        const std::string_view entry = entries.substr(0, end);
        if (entry.empty()) {
            break;
        }
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            m_entries.emplace_back(entry, "");
        } else {
            m_entries.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        }
        entries.remove_prefix(std::min(end + 1, entries.size()));
    }
}

std::optional<std::string> CProfileSection::String(std::string_view key) const {
    for (const auto& [name, value] : m_entries) {
        if (!SameKey(name, key)) {
            continue;
        }
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            return value.substr(1, value.size() - 2);
        }
        return value;
    }
    return std::nullopt;
}

int CProfileSection::Int(std::string_view key, int defaultValue) const {
    const std::optional<std::string> value = String(key);
    return value && !value->empty() ? ProfileNumber(*value) : defaultValue;
}

int ProfileNumber(std::string_view text) {
    text = text.substr(0, std::min(text.size(), kNumberChars));
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = text[i + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) {
            i += 2;
        }
    }
    std::uint32_t total = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit < 0 || digit >= base) {
            break;
        }
        total = total * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (negative) {
        total = 0u - total;
    }
    return static_cast<int>(total);
}
