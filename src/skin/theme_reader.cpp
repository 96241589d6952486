#include "skin/theme_reader.h"

#include "skin/core/theme_values.h"

#include <vector>

namespace {

// A theme's sections fit this first try; longer ones grow it, up to a bound.
constexpr DWORD kFirstSectionBuffer = 4096;
constexpr DWORD kLongestSectionBuffer = 4u << 20;

} // namespace

const CProfileSection& CThemeFile::Section(const char* section) {
    auto found = m_sections.find(section);
    if (found != m_sections.end()) {
        return found->second;
    }
    std::vector<char> buffer(kFirstSectionBuffer);
    DWORD length = 0;
    for (;;) {
        length = GetPrivateProfileSectionA(section, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           m_path.c_str());
        // A full buffer comes back as its size less two: try again larger.
        if (length + 2 < buffer.size() || buffer.size() >= kLongestSectionBuffer) {
            break;
        }
        buffer.resize(buffer.size() * 4);
    }
    return m_sections.emplace(section, CProfileSection(std::string_view(buffer.data(), length)))
        .first->second;
}

std::string CThemeFile::String(const char* section, const char* key) {
    return Section(section).String(key).value_or("");
}

int CThemeFile::Int(const char* section, const char* key, int defaultValue) {
    return Section(section).Int(key, defaultValue);
}

COLORREF CThemeFile::Colour(const char* section, const char* key, COLORREF defaultColour) {
    return ParseColour(String(section, key), defaultColour);
}

bool CThemeFile::Image(const char* section, const char* key, CMyBitmap& bitmap) {
    const std::string value = String(section, key);
    if (value.empty()) {
        return false;
    }
    bitmap.DeleteObject();
    return bitmap.LoadFromFile(ResolveImagePath(m_path, value));
}
