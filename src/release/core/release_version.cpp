#include "release/core/release_version.h"

bool ParseReleaseVersion(std::string_view text, CReleaseVersion& out) {
    CReleaseVersion version{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < version.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        std::uint32_t value = 0;
        const std::size_t start = at;
        // Five digits at most; 65535 is the largest a version resource holds.
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 5; ++at) {
            value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
        }
        // One way to write each number: no leading zero.
        if (at == start || value > 0xFFFF || (text[start] == '0' && at - start > 1)) {
            return false;
        }
        version[i] = static_cast<std::uint16_t>(value);
    }
    if (at != text.size()) {
        return false;
    }
    out = version;
    return true;
}

bool IsNewerRelease(const CReleaseVersion& candidate, const CReleaseVersion& installed) {
    return candidate > installed;
}
