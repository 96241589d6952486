// The download worker's header values: a Content-Length text of any bytes,
// and a Last-Modified date with any value in each field.
#include "release/core/download_headers.h"
#include "text/ansi_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CHeaderTime time;
    if (size >= 12) {
        uint16_t fields[6];
        std::memcpy(fields, data, sizeof(fields));
        time = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    }
    const std::wstring text = FormatModificationTime(time);
    // 19 characters while every field is in its usual range, and never cut.
    const bool usual = time.year <= 9999 && time.month <= 99 && time.day <= 99 && time.hour <= 99 &&
                       time.minute <= 99 && time.second <= 99;
    if ((usual && text.size() != 19) || text.size() < 19 || text.size() > 35) {
        std::abort();
    }

    const std::wstring length = FromAnsi(std::string(reinterpret_cast<const char*>(data), size));
    const uint64_t value = ParseContentLength(length);
    if (value != 0 && length.find_first_of(L"123456789") == std::wstring::npos) {
        std::abort();
    }
    return 0;
}
