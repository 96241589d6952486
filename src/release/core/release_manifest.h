#pragma once
#include "release/core/release_version.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// What the update server says of its installer, in a small text signed with
// the release key:
//   product Velmarin
//   version 1.0.0.2
//   size 123456
//   sha256 <64 lower-case hex digits>
// Each line ends in "\n"; the lines come in this order, once each, nothing else.
struct CReleaseManifest {
    CReleaseVersion version{};
    std::uint64_t size = 0;
    std::array<std::uint8_t, 32> sha256{};
};

// The largest manifest taken, and the largest installer a manifest may announce.
constexpr std::size_t kMaxManifestBytes = 1024;
constexpr std::uint64_t kMaxInstallerBytes = 200ull << 20;

// False for anything but the exact form above, a size of 0 or one above kMaxInstallerBytes.
bool ParseReleaseManifest(std::string_view text, CReleaseManifest& out);
// The manifest text for these values (for tests and tools; the server signs its own).
std::string FormatReleaseManifest(const CReleaseManifest& manifest);
