#include "release/core/release_manifest.h"

#include <cstdio>

namespace {

constexpr std::string_view kProductLine = "product Velmarin\n";

// Takes "KEY VALUE\n" off the front of text; false when the line is not that key's.
bool TakeLine(std::string_view& text, std::string_view key, std::string_view& value) {
    if (text.size() <= key.size() || text.substr(0, key.size()) != key || text[key.size()] != ' ') {
        return false;
    }
    const std::size_t end = text.find('\n', key.size() + 1);
    if (end == std::string_view::npos) {
        return false;
    }
    value = text.substr(key.size() + 1, end - key.size() - 1);
    text.remove_prefix(end + 1);
    return true;
}

bool ParseSize(std::string_view text, std::uint64_t& out) {
    // No leading zero, no more digits than the cap has.
    if (text.empty() || text.size() > 10 || text[0] == '0') {
        return false;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > kMaxInstallerBytes) {
        return false;
    }
    out = value;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool ParseDigest(std::string_view text, std::array<std::uint8_t, 32>& out) {
    if (text.size() != out.size() * 2) {
        return false;
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int high = HexDigit(text[2 * i]);
        const int low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

} // namespace

bool ParseReleaseManifest(std::string_view text, CReleaseManifest& out) {
    if (text.size() > kMaxManifestBytes || text.substr(0, kProductLine.size()) != kProductLine) {
        return false;
    }
    text.remove_prefix(kProductLine.size());
    CReleaseManifest manifest;
    std::string_view version, size, digest;
    if (!TakeLine(text, "version", version) || !ParseReleaseVersion(version, manifest.version) ||
        !TakeLine(text, "size", size) || !ParseSize(size, manifest.size) ||
        !TakeLine(text, "sha256", digest) || !ParseDigest(digest, manifest.sha256) || !text.empty()) {
        return false;
    }
    out = manifest;
    return true;
}

std::string FormatReleaseManifest(const CReleaseManifest& manifest) {
    char line[64];
    std::string text(kProductLine);
    std::snprintf(line, sizeof line, "version %u.%u.%u.%u\n", manifest.version[0], manifest.version[1],
                  manifest.version[2], manifest.version[3]);
    text += line;
    std::snprintf(line, sizeof line, "size %llu\n", static_cast<unsigned long long>(manifest.size));
    text += line;
    text += "sha256 ";
    for (std::uint8_t byte : manifest.sha256) {
        std::snprintf(line, sizeof line, "%02x", byte);
        text += line;
    }
    text += "\n";
    return text;
}
