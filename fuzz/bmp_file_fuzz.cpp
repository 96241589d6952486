// Theme images come from a folder the user may write: whatever a bitmap
// file's headers claim, the layout must lie inside the file.
#include "skin/core/bmp_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CBmpFileLayout layout = CheckBmpFile(data, size);
    if (layout.kind == BmpFileKind::Plain &&
        (layout.headerOffset + layout.headerBytes > layout.pixelOffset ||
         layout.pixelOffset + layout.pixelBytes > size || layout.width <= 0 || layout.height <= 0)) {
        std::abort();
    }
    return 0;
}
