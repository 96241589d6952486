#pragma once
#include "framework/application.h" // ProgramFolder

#include <string>

// The settings file in the program folder.
std::wstring SettingsFilePath();
// The service's Entry endpoint on an application server.
std::wstring ServiceEndpointUrl(const std::wstring& appServer);
