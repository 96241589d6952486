#include "release/core/release_check.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <string>

namespace {

constexpr CReleaseVersion kInstalled{1, 0, 0, 1};

TEST(ReleaseVersion, OnlyFourPlainNumbersAndStrictlyNewer) {
    struct Case {
        const char* text;
        bool valid;
        bool newer; // than kInstalled
    };
    const Case cases[] = {
        {"1.0.0.2", true, true},
        {"1.0.0.1", true, false}, // a reinstall is no update
        {"1.0.0.0", true, false},
        {"0.9.9.9", true, false}, // an older release never is, whatever its later numbers
        {"1.0.1.0", true, true},
        {"2.0.0.0", true, true},
        {"65535.0.0.0", true, true},
        {"65536.0.0.0", false, false},
        {"1.0.0.10", true, true},
        {"1.0.0.02", false, false},
        {"1.0.0", false, false},
        {"1.0.0.2.0", false, false},
        {"1.0.0.2 ", false, false},
        {"1.0..2", false, false},
        {"1.0.0.-2", false, false},
        {"1.0.0.+2", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        CReleaseVersion version{};
        EXPECT_EQ(ParseReleaseVersion(c.text, version), c.valid) << c.text;
        if (c.valid) {
            EXPECT_EQ(IsNewerRelease(version, kInstalled), c.newer) << c.text;
        }
    }
}

CReleaseManifest SampleManifest() {
    CReleaseManifest manifest;
    manifest.version = {1, 0, 0, 2};
    manifest.size = 123456;
    for (std::size_t i = 0; i < manifest.sha256.size(); ++i) {
        manifest.sha256[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return manifest;
}

TEST(ReleaseManifest, TakesTheExactFormOnly) {
    const std::string good = FormatReleaseManifest(SampleManifest());
    CReleaseManifest parsed;
    ASSERT_TRUE(ParseReleaseManifest(good, parsed));
    EXPECT_EQ(parsed.version, SampleManifest().version);
    EXPECT_EQ(parsed.size, SampleManifest().size);
    EXPECT_EQ(parsed.sha256, SampleManifest().sha256);

    const std::string digest = good.substr(good.find("sha256 ") + 7, 64);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        return text.replace(text.find(from), from.size(), to);
    };
    const std::string bad[] = {
        good.substr(0, good.size() - 1),                      // last line unterminated
        good + "\n",                                          // anything after
        good + "extra 1\n",                                   //
        replaced("\n", "\r\n"),                               // CR LF
        replaced("product Velmarin", "product Other"),        // another product's release
        replaced("version 1.0.0.2", "version 1.0.2"),         //
        replaced("size 123456", "size 0"),                    // nothing to install
        replaced("size 123456", "size 0123456"),              //
        replaced("size 123456", "size 209715201"),            // above the installer cap
        replaced("size 123456", "size 18446744073709551617"), // would wrap
        replaced("size 123456", "size 12345x"),               //
        replaced(digest, digest.substr(0, 63)),               //
        replaced(digest.substr(0, 2), "0A"),                  // upper case
        replaced("version", "Version"),                       //
        replaced("size 123456\n", "") + "size 123456\n",      // out of order
        replaced("sha256 ", "sha256  "),                      //
        std::string(),
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(ParseReleaseManifest(text, parsed)) << text;
    }

    CReleaseManifest largest = SampleManifest();
    largest.size = kMaxInstallerBytes;
    EXPECT_TRUE(ParseReleaseManifest(FormatReleaseManifest(largest), parsed));
}

struct CKeyPair {
    CReleasePublicKey publicKey{};
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    CKeyPair() {
        EXPECT_GE(sodium_init(), 0);
        crypto_sign_keypair(publicKey.data(), secretKey);
    }
    std::string Sign(const std::string& text) const {
        std::string signature(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                             reinterpret_cast<const unsigned char*>(text.data()), text.size(), secretKey);
        return signature;
    }
};

TEST(ReleaseManifest, OnlyOurSignatureOverTheVeryTextCounts) {
    const CKeyPair ours;
    const CKeyPair theirs;
    const std::string text = FormatReleaseManifest(SampleManifest());
    CReleaseManifest older = SampleManifest();
    older.version = {1, 0, 0, 0};
    const std::string olderText = FormatReleaseManifest(older);
    std::string tampered = text;
    tampered[tampered.find("123456")] = '2';
    const std::string malformed = text + "\n";

    struct Case {
        const char* what;
        std::string text;
        std::string signature;
        ReleaseVerdict verdict;
    };
    const Case cases[] = {
        {"ours", text, ours.Sign(text), ReleaseVerdict::Trusted},
        {"another key", text, theirs.Sign(text), ReleaseVerdict::Unsigned},
        {"text changed after signing", tampered, ours.Sign(text), ReleaseVerdict::Unsigned},
        {"signature cut short", text, ours.Sign(text).substr(0, 63), ReleaseVerdict::Unsigned},
        {"no signature", text, "", ReleaseVerdict::Unsigned},
        {"signed but malformed", malformed, ours.Sign(malformed), ReleaseVerdict::Unsigned},
        {"signed but older", olderText, ours.Sign(olderText), ReleaseVerdict::NotNewer},
    };
    for (const Case& c : cases) {
        CReleaseManifest out;
        EXPECT_EQ(CheckReleaseManifest(c.text, c.signature, ours.publicKey, kInstalled, out), c.verdict)
            << c.what;
    }
}

TEST(ReleaseManifest, InstallerMustMatchSizeAndDigest) {
    // SHA-256("abc"), fed in pieces.
    CSha256 hash;
    hash.Add("a", 1);
    hash.Add("bc", 2);
    const CSha256Digest digest = hash.Finish();
    CReleaseManifest manifest;
    ASSERT_TRUE(
        ParseReleaseManifest("product Velmarin\nversion 1.0.0.2\nsize 3\n"
                             "sha256 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n",
                             manifest));
    EXPECT_TRUE(MatchesManifest(manifest, 3, digest));
    EXPECT_FALSE(MatchesManifest(manifest, 4, digest));
    CSha256 other;
    other.Add("abd", 3);
    EXPECT_FALSE(MatchesManifest(manifest, 3, other.Finish()));
}

} // namespace
