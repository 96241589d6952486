#include "release/core/release_check.h"

#include <sodium.h>

ReleaseVerdict CheckReleaseManifest(std::string_view manifestText, std::string_view signature,
                                    const CReleasePublicKey& key, const CReleaseVersion& installed,
                                    CReleaseManifest& out) {
    if (sodium_init() < 0 || signature.size() != crypto_sign_BYTES ||
        manifestText.size() > kMaxManifestBytes) {
        return ReleaseVerdict::Unsigned;
    }
    if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                    reinterpret_cast<const unsigned char*>(manifestText.data()),
                                    manifestText.size(), key.data()) != 0) {
        return ReleaseVerdict::Unsigned;
    }
    CReleaseManifest manifest;
    if (!ParseReleaseManifest(manifestText, manifest)) {
        return ReleaseVerdict::Unsigned;
    }
    out = manifest;
    return IsNewerRelease(manifest.version, installed) ? ReleaseVerdict::Trusted : ReleaseVerdict::NotNewer;
}

CSha256::CSha256() {
    crypto_hash_sha256_init(&m_state);
}

void CSha256::Add(const void* data, std::size_t size) {
    crypto_hash_sha256_update(&m_state, static_cast<const unsigned char*>(data), size);
}

CSha256Digest CSha256::Finish() {
    CSha256Digest digest{};
    crypto_hash_sha256_final(&m_state, digest.data());
    return digest;
}

bool MatchesManifest(const CReleaseManifest& manifest, std::uint64_t size, const CSha256Digest& digest) {
    // Not secret: a plain comparison is enough.
    return size == manifest.size && digest == manifest.sha256;
}
