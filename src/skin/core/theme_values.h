#pragma once
// Turns theme-file values into colours and image paths. Text is 8-bit in
// the ANSI code page; a byte above 128 leads a double-byte character.
#include "pixels/skin_colour.h"

#include <string>
#include <string_view>

// Three decimal numbers (red, green, blue) separated by single spaces, tabs
// or newlines; each keeps its low 8 bits. Empty text gives the default.
SkinColour ParseColour(std::string_view text, SkinColour defaultColour);

// Everything up to and including the last "\" or "/", or empty.
std::string FolderOf(std::string_view path);
// The part behind the last "\" or "/", or the whole value.
std::string FileNameOf(std::string_view value);
// The image's file name inside the theme's own folder. A theme path without
// a folder gives the bare file name (relative to the current folder).
std::string ResolveImagePath(std::string_view themePath, std::string_view value);
