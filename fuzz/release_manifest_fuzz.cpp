// The update manifest as the update server sends it.
#include "release/core/release_manifest.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CReleaseManifest manifest;
    // A manifest has one spelling: whatever is taken prints back as the very same text.
    if (ParseReleaseManifest(text, manifest) && (FormatReleaseManifest(manifest) != text ||
                                                 manifest.size == 0 || manifest.size > kMaxInstallerBytes)) {
        __builtin_trap();
    }
    return 0;
}
