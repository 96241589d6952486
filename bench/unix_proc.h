#pragma once
// What Wine does not answer about a process (private bytes, CPU time) read
// from the Linux process behind it through the Z: drive.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

inline std::string ReadUnixFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

inline std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The Linux process whose command line starts with the program's path.
inline std::wstring UnixProcess(const wchar_t* exe) {
    std::string wanted;
    for (const wchar_t* c = exe; *c; ++c) {
        wanted += static_cast<char>(*c); // the bench's paths are ASCII
    }
    wanted = Lower(wanted);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::wstring found;
    do {
        if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') {
            continue;
        }
        const std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName;
        const std::string command = Lower(ReadUnixFile(folder + L"\\cmdline"));
        if (command.compare(0, wanted.size(), wanted) == 0) {
            found = folder;
            break;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

// Private_Clean + Private_Dirty + Swap of the process's mappings.
inline long long PrivateBytes(const std::wstring& unixProcess) {
    const std::string rollup = ReadUnixFile(unixProcess + L"\\smaps_rollup");
    long long total = 0;
    bool any = false;
    for (const char* key : {"\nPrivate_Clean:", "\nPrivate_Dirty:", "\nSwap:"}) {
        const size_t at = rollup.find(key);
        if (at == std::string::npos) {
            continue;
        }
        total += std::atoll(rollup.c_str() + at + std::strlen(key)) * 1024;
        any = true;
    }
    return any ? total : -1;
}

// User and system time of every thread of the process.
inline double CpuMs(const std::wstring& unixProcess) {
    const std::string stat = ReadUnixFile(unixProcess + L"\\stat");
    const size_t end = stat.rfind(')');
    if (end == std::string::npos) {
        return -1;
    }
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    const char* at = stat.c_str() + end + 2;
    unsigned long long ticks = 0;
    for (int field = 3; field <= 15 && *at; ++field) {
        if (field >= 14) {
            ticks += std::strtoull(at, nullptr, 10);
        }
        at = std::strchr(at, ' ');
        if (!at) {
            return -1;
        }
        ++at;
    }
    return static_cast<double>(ticks) * 10.0; // USER_HZ is 100
}
