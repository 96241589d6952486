#pragma once
// Reads the theme file through the platform's profile reader, a whole section
// at a time: each read of the platform opens the file again, and a skinned
// window's theme is some forty values. Nothing is ever written to it; a
// missing file reads as every key absent.
#include "skin/core/profile_section.h"
#include "skin/my_bitmap.h"

#include <map>
#include <string>

class CThemeFile {
public:
    explicit CThemeFile(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    // The whole value however long; empty when absent.
    std::string String(const char* section, const char* key);
    int Int(const char* section, const char* key, int defaultValue);
    // Empty text gives the default; see ParseColour for the format.
    COLORREF Colour(const char* section, const char* key, COLORREF defaultColour);
    // Loads the image a key names from the theme's own folder into an empty
    // bitmap (one holding an image is emptied first). False when the value
    // is empty or the image does not load.
    bool Image(const char* section, const char* key, CMyBitmap& bitmap);

private:
    const CProfileSection& Section(const char* section);

    std::string m_path;
    std::map<std::string, CProfileSection> m_sections; // by the name asked for
};
