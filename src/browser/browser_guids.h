#pragma once
// Identifiers of the browser host that mingw's import libraries lack.
#include <windows.h>

// The group of the browser's requests to its host ({F38BC242-B950-11D1-8918-00C04FC2C836}).
inline constexpr GUID kCgidDocHostCommandHandler = {
    0xf38bc242, 0xb950, 0x11d1, {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};
