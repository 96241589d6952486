#include "pixels/key_colour_runs.h"

namespace {

// Tells whether the pixel at column x of a row is the key colour.
class CKeyMatcher {
public:
    CKeyMatcher(const CPixelImage& image, SkinColour key)
        : m_image(image), m_key(key), m_key565(ColourTo565(key)) {}

    bool IsKey(const std::uint8_t* row, int x) const {
        switch (m_image.bitsPerPixel) {
        case 8: {
            const std::size_t index = row[x];
            if (m_image.palette == nullptr || index >= m_image.paletteEntries) {
                return false;
            }
            const std::uint8_t* quad = m_image.palette + index * 4;
            return MakeSkinColour(quad[2], quad[1], quad[0]) == m_key;
        }
        case 16: {
            const std::uint16_t pixel = static_cast<std::uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
            return pixel == m_key565;
        }
        case 24:
            return IsKeyBgr(row + 3 * x);
        case 32:
            // The fourth byte is unused by the screen formats; only colour counts.
            return IsKeyBgr(row + 4 * x);
        default:
            return false;
        }
    }

private:
    bool IsKeyBgr(const std::uint8_t* p) const {
        return p[0] == BlueOf(m_key) && p[1] == GreenOf(m_key) && p[2] == RedOf(m_key);
    }

    const CPixelImage& m_image;
    SkinColour m_key;
    std::uint16_t m_key565;
};

bool SupportedDepth(int bitsPerPixel) {
    return bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

} // namespace

int DibStride(int width, int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

std::uint16_t ColourTo565(SkinColour colour) {
    return static_cast<std::uint16_t>(((RedOf(colour) >> 3) << 11) | ((GreenOf(colour) >> 2) << 5) |
                                      (BlueOf(colour) >> 3));
}

std::vector<CPixelRect> KeyColourRuns(const CPixelImage& image, SkinColour key) {
    std::vector<CPixelRect> runs;
    if (image.bits == nullptr || image.width <= 0 || image.height <= 0 ||
        !SupportedDepth(image.bitsPerPixel) || image.stride < DibStride(image.width, image.bitsPerPixel)) {
        return runs;
    }
    runs.reserve(static_cast<std::size_t>(image.height));
    const CKeyMatcher matcher(image, key);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row =
            image.bits + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.stride);
        int x = 0;
        while (x < image.width) {
            while (x < image.width && matcher.IsKey(row, x)) {
                ++x;
            }
            const int start = x;
            while (x < image.width && !matcher.IsKey(row, x)) {
                ++x;
            }
            if (x > start) {
                runs.push_back({start, y, x, y + 1});
            }
        }
    }
    return runs;
}
