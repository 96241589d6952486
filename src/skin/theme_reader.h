#pragma once
// Reads the theme file through the platform's profile reader. Nothing is
// ever written to it; a missing file reads as every key absent.
#include "skin/my_bitmap.h"

#include <string>

// The whole value however long (the buffer grows until it fits).
std::string ReadProfileString(const char* section, const char* key, const std::string& themePath);
int ReadProfileInt(const char* section, const char* key, int defaultValue, const std::string& themePath);
// Empty text gives the default; see ParseColour for the format.
COLORREF ReadColour(const char* section, const char* key, const std::string& themePath,
                    COLORREF defaultColour);
// Loads the image a key names from the theme's own folder into an empty
// bitmap (one holding an image is emptied first). False when the value is
// empty or the image does not load.
bool LoadThemeImage(const char* section, const char* key, const std::string& themePath, CMyBitmap& bitmap);
