// Theme values come from a file the user may edit: colours and image paths
// of any length and bytes.
#include "skin/core/theme_values.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    ParseColour(text, SkinColour{});
    FolderOf(text);
    FileNameOf(text);
    ResolveImagePath(text.substr(0, split), text.substr(split));
    return 0;
}
