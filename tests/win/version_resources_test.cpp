// Every shipped file carries the project's one version.
#include "framework/application.h"
#include "velmarin_version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct CVersionInfo {
    bool found = false;
    DWORD fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    std::wstring fileVersion, productName, originalName;
};

std::wstring Value(std::vector<BYTE>& block, const wchar_t* name) {
    void* text = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), &text, &length) || length == 0) {
        return {};
    }
    return std::wstring(static_cast<const wchar_t*>(text), length - 1);
}

CVersionInfo ReadVersion(const std::wstring& file) {
    CVersionInfo info;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
        return info;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) {
        return info;
    }
    info.found = true;
    info.fileMs = fixed->dwFileVersionMS;
    info.fileLs = fixed->dwFileVersionLS;
    info.productMs = fixed->dwProductVersionMS;
    info.productLs = fixed->dwProductVersionLS;
    info.fileVersion = Value(block, L"FileVersion");
    info.productName = Value(block, L"ProductName");
    info.originalName = Value(block, L"OriginalFilename");
    return info;
}

TEST(VersionResources, EveryShippedFileCarriesTheProjectVersion) {
    const DWORD ms = MAKELONG(VELMARIN_VERSION_MINOR, VELMARIN_VERSION_MAJOR);
    const DWORD ls = MAKELONG(VELMARIN_VERSION_BUILD, VELMARIN_VERSION_PATCH);
    const std::string text = VELMARIN_VERSION_TEXT;
    const std::wstring version(text.begin(), text.end());
    for (const wchar_t* name :
         {L"Velmarin.exe", L"Skin.dll", L"config.dll", L"res.dll", L"clientupdate.exe"}) {
        SCOPED_TRACE(testing::Message() << "file " << std::string(name, name + wcslen(name)));
        const CVersionInfo info = ReadVersion(ProgramFolder() + L"\\" + name);
        ASSERT_TRUE(info.found);
        EXPECT_EQ(info.fileMs, ms);
        EXPECT_EQ(info.fileLs, ls);
        EXPECT_EQ(info.productMs, ms);
        EXPECT_EQ(info.productLs, ls);
        EXPECT_EQ(info.fileVersion, version);
        EXPECT_EQ(info.productName, L"Velmarin");
        EXPECT_EQ(info.originalName, name);
    }
}

} // namespace
