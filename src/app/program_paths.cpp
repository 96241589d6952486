#include "app/program_paths.h"

#include <windows.h>

namespace {

constexpr wchar_t kSettingsFileName[] = L"\\velmarin.dat";
constexpr wchar_t kServicePath[] = L"/serv/clientservice.asmx";

} // namespace

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring SettingsFilePath() {
    return ProgramFolder() + kSettingsFileName;
}

std::wstring ServiceEndpointUrl(const std::wstring& appServer) {
    return appServer + kServicePath;
}
