#include "skin/theme_reader.h"

#include "skin/core/theme_values.h"

#include <vector>

namespace {

// Image values fit this first try (999 characters); longer ones grow it.
constexpr DWORD kFirstValueBuffer = 1000;
constexpr DWORD kLongestValueBuffer = 1u << 20;

} // namespace

std::string ReadProfileString(const char* section, const char* key, const std::string& themePath) {
    std::vector<char> buffer(kFirstValueBuffer);
    for (;;) {
        const DWORD length = GetPrivateProfileStringA(section, key, "", buffer.data(),
                                                      static_cast<DWORD>(buffer.size()), themePath.c_str());
        // A value that filled the buffer may have been cut: try again larger.
        if (length + 1 < buffer.size() || buffer.size() >= kLongestValueBuffer) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 4);
    }
}

int ReadProfileInt(const char* section, const char* key, int defaultValue, const std::string& themePath) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, themePath.c_str()));
}

COLORREF ReadColour(const char* section, const char* key, const std::string& themePath,
                    COLORREF defaultColour) {
    return ParseColour(ReadProfileString(section, key, themePath), defaultColour);
}

bool LoadThemeImage(const char* section, const char* key, const std::string& themePath, CMyBitmap& bitmap) {
    const std::string value = ReadProfileString(section, key, themePath);
    if (value.empty()) {
        return false;
    }
    bitmap.DeleteObject();
    return bitmap.LoadFromFile(ResolveImagePath(themePath, value));
}
