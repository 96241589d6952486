#pragma once
#include <string>

// Where the program's libraries and files come from: System32 for the
// system's, the program folder for ours, never the working folder or PATH.

// Makes System32 the only folder a library named without a path is looked
// for in (the program names its own libraries by full path). First thing in a program.
void RestrictDllSearchToSystem();

// The full path of a file in the program folder.
std::wstring ProgramFile(const std::wstring& name);
// A path from the settings or the theme: kept when absolute (drive or UNC),
// otherwise taken as relative to the program folder.
std::wstring ResolveInProgramFolder(const std::wstring& path);
// The full path of a system library in System32; empty if unknown.
std::wstring SystemLibrary(const wchar_t* name);
