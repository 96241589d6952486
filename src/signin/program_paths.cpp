#include "signin/program_paths.h"

namespace {

constexpr wchar_t kSettingsFileName[] = L"\\velmarin.dat";
constexpr wchar_t kServicePath[] = L"/serv/clientservice.asmx";

} // namespace

std::wstring SettingsFilePath() {
    return ProgramFolder() + kSettingsFileName;
}

std::wstring ServiceEndpointUrl(const std::wstring& appServer) {
    return appServer + kServicePath;
}
