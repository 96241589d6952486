#pragma once
// Finds the pixels of a device-independent bitmap that differ from a key
// colour, as horizontal runs: the rectangles a window region is built from.
#include "pixels/skin_colour.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct CPixelRect {
    int left, top, right, bottom;
    bool operator==(const CPixelRect&) const = default;
};

// Rows top-down, each row `stride` bytes. For 8 bits per pixel `palette`
// holds the colour table as blue/green/red/reserved quads; 16-bit pixels
// are 5-6-5; 24- and 32-bit pixels are blue/green/red bytes.
struct CPixelImage {
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    int bitsPerPixel = 0;
    const std::uint8_t* palette = nullptr;
    std::size_t paletteEntries = 0;
};

// Row stride of an uncompressed DIB: rows padded to four bytes.
int DibStride(int width, int bitsPerPixel);

std::uint16_t ColourTo565(SkinColour colour);

// One rectangle (run start, row, run end, row + 1) per run of non-key pixels,
// rows top to bottom, runs left to right. Unsupported depths give no runs.
std::vector<CPixelRect> KeyColourRuns(const CPixelImage& image, SkinColour key);
