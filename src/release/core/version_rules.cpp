#include "release/core/version_rules.h"

#include "text/split.h"

#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kVersionNumbers = 4;

// The piece's leading decimal digits (after optional spaces and sign, as the
// platform's text-to-integer reading does); none read 0. Saturates instead of
// wrapping, so a huge number never compares as a small one.
std::int64_t VersionNumber(const std::wstring& piece) {
    std::size_t at = 0;
    while (at < piece.size() && (piece[at] == L' ' || piece[at] == L'\t')) {
        ++at;
    }
    bool negative = false;
    if (at < piece.size() && (piece[at] == L'+' || piece[at] == L'-')) {
        negative = piece[at++] == L'-';
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = INT32_MAX;
    for (; at < piece.size() && piece[at] >= L'0' && piece[at] <= L'9'; ++at) {
        value = value >= kLimit ? kLimit : value * 10 + (piece[at] - L'0');
    }
    if (value > kLimit) {
        value = kLimit;
    }
    return negative ? -value : value;
}

} // namespace

bool IsNewerVersion(const std::wstring& candidate, const std::wstring& reference) {
    if (candidate == reference) {
        return false;
    }
    const std::vector<std::wstring> newer = SplitKeepingEmpty(candidate, L'.');
    const std::vector<std::wstring> older = SplitKeepingEmpty(reference, L'.');
    if (newer.size() < kVersionNumbers || older.size() < kVersionNumbers) {
        return false;
    }
    for (std::size_t i = 0; i < kVersionNumbers; ++i) {
        const std::int64_t a = VersionNumber(newer[i]);
        const std::int64_t b = VersionNumber(older[i]);
        if (a != b) {
            return a > b;
        }
    }
    return false;
}
