#pragma once
#include "release/core/release_manifest.h"

#include <sodium/crypto_hash_sha256.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The Ed25519 public key of the release signatures.
using CReleasePublicKey = std::array<std::uint8_t, 32>;
using CSha256Digest = std::array<std::uint8_t, 32>;

enum class ReleaseVerdict {
    Trusted,  // signed by our key, well formed, newer than what is installed
    Unsigned, // the signature does not verify with our key, or the manifest is malformed
    NotNewer, // a genuine release, but not after the installed one
};

// Verifies the detached signature (64 bytes) over manifestText first, and only
// then reads the text: nothing unsigned is ever parsed. out is set for Trusted
// and NotNewer.
ReleaseVerdict CheckReleaseManifest(std::string_view manifestText, std::string_view signature,
                                    const CReleasePublicKey& key, const CReleaseVersion& installed,
                                    CReleaseManifest& out);

// SHA-256 over data given in pieces.
class CSha256 {
public:
    CSha256();
    void Add(const void* data, std::size_t size);
    CSha256Digest Finish();

private:
    crypto_hash_sha256_state m_state;
};

// The installer's bytes are the ones the manifest describes.
bool MatchesManifest(const CReleaseManifest& manifest, std::uint64_t size, const CSha256Digest& digest);
