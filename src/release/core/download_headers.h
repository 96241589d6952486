#pragma once
// What the download worker reads from a response's headers: the length and
// the modification time. Both come from the server and may hold anything.
#include <cstdint>
#include <string>

// The leading decimal digits of a Content-Length value, after blanks; none
// read as 0 (unknown length). Saturates instead of wrapping.
std::uint64_t ParseContentLength(const std::wstring& text);

// A Last-Modified date as the system's header parser hands it over: any
// value in each field.
struct CHeaderTime {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "%Y-%m-%d %H:%M:%S": each field at least four or two digits, wider when its
// value is; never cut.
std::wstring FormatModificationTime(const CHeaderTime& time);
