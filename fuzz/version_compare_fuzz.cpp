// The version comparison over any pair of texts: it is a strict order.
#include "release/core/version_rules.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t split = std::min<std::size_t>(data[0], size - 1);
    const std::wstring a(data + 1, data + 1 + split);
    const std::wstring b(data + 1 + split, data + size);
    const bool aNewer = IsNewerVersion(a, b);
    const bool bNewer = IsNewerVersion(b, a);
    // Never both ways, and nothing is newer than itself.
    if ((aNewer && bNewer) || IsNewerVersion(a, a)) {
        std::abort();
    }
    return 0;
}
