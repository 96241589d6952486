#pragma once
// The one export of config.dll, the settings plug-in that the main window
// loads by name from its tray menu and calls through ExecConfigProc.
#include <windows.h>

class CSMSSetting;

inline constexpr wchar_t kConfigLibraryName[] = L"config.dll";
inline constexpr char kConfigEntryName[] = "ExecConfig";

// Shows the settings dialog modally and returns 1 when OK wrote the values
// into *settings, 0 when it was cancelled or could not be shown.
// - owner: the window that owns the dialog; it is disabled while the dialog runs.
// - resources: res.dll's module, borrowed; the dialog draws nothing from it.
// - settings: the program's one settings object, borrowed and changed in place
//   on OK only. Its std::wstring fields are assigned here, which works because
//   config.dll is built with the program's toolchain and both modules allocate
//   from the system C runtime's one heap; the object's layout is fixed for that.
// - sessionId: the current session id, NUL-terminated UTF-16, read-only and
//   valid for the call only (the caller passes its string's c_str()); the
//   dialog does not use it. A std::wstring by value would be built by one module
//   and destroyed by the other, binding the export to one library's string
//   layout and allocator; a plain pointer has one meaning for every caller.
extern "C" int __cdecl ExecConfig(HWND owner, HMODULE resources, CSMSSetting* settings,
                                  const wchar_t* sessionId);

using ExecConfigProc = int(__cdecl*)(HWND owner, HMODULE resources, CSMSSetting* settings,
                                     const wchar_t* sessionId);
