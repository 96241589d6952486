#pragma once
// The skin library's whole public interface: five functions with plain names.
// Text is 8-bit in the ANSI code page. Results: 1 success, 0 failure.
#include <windows.h>

class CWindow;

#ifdef SKIN_BUILDING_DLL
#define SKIN_API extern "C" __declspec(dllexport)
#else
#define SKIN_API extern "C" __declspec(dllimport)
#endif

SKIN_API int InitSkin(const char* themePath);
// dialog: the caller's framework window object; only its window handle is used.
SKIN_API int InstallDlgSkin(CWindow* dialog);
SKIN_API int InstallCtlSkin(HWND dialog, int controlId);
SKIN_API int UnstallCtlSkin(HWND dialog);
SKIN_API void ReleaseSkin();
