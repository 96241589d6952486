// A theme file is one a user may write: any section text the platform hands
// over, and any number in it, is read within its bounds.
#include "skin/core/profile_section.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CProfileSection section(text);
    (void)section.String("Top");
    (void)section.Int("ButtonCount", 0);
    (void)ProfileNumber(text);
    return 0;
}
