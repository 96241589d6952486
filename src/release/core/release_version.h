#pragma once
#include <array>
#include <cstdint>
#include <string_view>

// A release's version as the file version resource holds it: four numbers of
// 0 to 65535, compared number by number from the first.
using CReleaseVersion = std::array<std::uint16_t, 4>;

// Exactly four decimal numbers joined by "."; no sign, space, leading zero or other text.
bool ParseReleaseVersion(std::string_view text, CReleaseVersion& out);
// True only when candidate comes strictly after installed: no rollback, no reinstall.
bool IsNewerRelease(const CReleaseVersion& candidate, const CReleaseVersion& installed);
