#pragma once
// Checks a theme image that is a plain bitmap file: file header, a 40-byte
// information header, its colour table or masks, then rows of pixels. Such a
// file is decoded without OLE; anything else is left to the OLE decoder.
#include <cstddef>
#include <cstdint>

enum class BmpFileKind {
    Other,     // not a bitmap file with the 40-byte header: for the OLE decoder
    Malformed, // claims to be one, but its parts do not fit the file or make no image
    Plain,
};

struct CBmpFileLayout {
    BmpFileKind kind = BmpFileKind::Other;
    std::size_t headerOffset = 0; // the information header, then the colour table or masks
    std::size_t headerBytes = 0;  // the information header with its table or masks
    std::size_t pixelOffset = 0;
    std::size_t pixelBytes = 0; // every row, each padded to 4 bytes
    int width = 0;
    int height = 0; // rows, whichever way they run
};

// Larger images are no theme images of ours.
inline constexpr int kLargestBmpSide = 16384;

CBmpFileLayout CheckBmpFile(const std::uint8_t* data, std::size_t size);
