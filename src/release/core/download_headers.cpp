#include "release/core/download_headers.h"

#include <limits>

namespace {

std::wstring Padded(unsigned value, std::size_t width) {
    std::wstring text = std::to_wstring(value);
    if (text.size() < width) {
        text.insert(0, width - text.size(), L'0');
    }
    return text;
}

} // namespace

std::uint64_t ParseContentLength(const std::wstring& text) {
    constexpr std::uint64_t kTooLong = std::numeric_limits<std::uint64_t>::max();
    std::size_t at = text.find_first_not_of(L" \t");
    std::uint64_t value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        const unsigned digit = static_cast<unsigned>(text[at] - L'0');
        if (value > (kTooLong - digit) / 10) {
            return kTooLong;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::wstring FormatModificationTime(const CHeaderTime& time) {
    return Padded(time.year, 4) + L"-" + Padded(time.month, 2) + L"-" + Padded(time.day, 2) + L" " +
           Padded(time.hour, 2) + L":" + Padded(time.minute, 2) + L":" + Padded(time.second, 2);
}
