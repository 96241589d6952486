#include "framework/program_files.h"

#include "framework/application.h"

#include <windows.h>

void RestrictDllSearchToSystem() {
    // Looked up, not imported: a Windows 7 without its loader update still starts.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (!set || !set(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L""); // at least not the working folder
    }
}

std::wstring ProgramFile(const std::wstring& name) {
    return ProgramFolder() + L"\\" + name;
}

std::wstring ResolveInProgramFolder(const std::wstring& path) {
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool drive = path.size() >= 3 && path[1] == L':' && slash(path[2]);
    const bool unc = path.size() >= 2 && slash(path[0]) && slash(path[1]);
    if (path.empty() || drive || unc) {
        return path;
    }
    std::size_t start = 0;
    while (start < path.size() && slash(path[start])) {
        ++start;
    }
    return ProgramFile(path.substr(start));
}

std::wstring SystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::wstring(folder, length) + L"\\" + name;
}
