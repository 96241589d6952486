#pragma once
#include <string>

// The folder of the program's executable, without a trailing "\".
std::wstring ProgramFolder();
// The settings file in the program folder.
std::wstring SettingsFilePath();
// The service's Entry endpoint on an application server.
std::wstring ServiceEndpointUrl(const std::wstring& appServer);
