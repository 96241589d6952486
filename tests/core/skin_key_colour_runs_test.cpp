#include "pixels/key_colour_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const SkinColour kMagenta = MakeSkinColour(255, 0, 255);
using Bytes = std::vector<std::uint8_t>;
using Runs = std::vector<CPixelRect>;

// A DIB from rows of 'K' (magenta, the key) and '.' (grey 90/100/110) in the
// given depth. Row padding is 0xFF, so a reader looking past a row's end
// finds other bytes there than the key's.
struct CTestImage {
    CTestImage(const std::vector<std::string>& rows, int bpp) {
        // The bytes of grey and of magenta in each depth; the fourth byte of
        // 32-bit pixels is unused and must not matter.
        const Bytes grey = bpp == 8 ? Bytes{0} : bpp == 16 ? Bytes{0x2D, 0x5B} : Bytes{110, 100, 90, 0x5A};
        const Bytes key = bpp == 8 ? Bytes{1} : bpp == 16 ? Bytes{0x1F, 0xF8} : Bytes{255, 0, 255, 0x5A};
        const int width = static_cast<int>(rows.front().size());
        const int stride = DibStride(width, bpp);
        bits.assign(static_cast<std::size_t>(stride) * rows.size(), 0xFF);
        for (std::size_t y = 0; y < rows.size(); ++y) {
            for (int x = 0; x < width; ++x) {
                const Bytes& pixel = rows[y][x] == 'K' ? key : grey;
                std::copy_n(pixel.begin(), bpp / 8, bits.begin() + y * stride + x * (bpp / 8));
            }
        }
        image = {bits.data(), width, static_cast<int>(rows.size()), stride, bpp, palette.data(), 2};
    }

    Bytes bits;
    Bytes palette = {110, 100, 90, 0, 255, 0, 255, 0}; // index 0 grey, 1 magenta
    CPixelImage image;
};

TEST(KeyColourRuns, EveryDepthGivesTheSameRuns) {
    const struct {
        const char* name;
        std::vector<std::string> rows;
        Runs runs;
    } cases[] = {
        {"all key", {"KKK", "KKK"}, {}},
        {"no key", {"...", "...", "..."}, {{0, 0, 3, 1}, {0, 1, 3, 2}, {0, 2, 3, 3}}},
        {"runs", {"K..K.", ".KKK.", "KKKKK"}, {{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 1, 1, 2}, {4, 1, 5, 2}}},
        {"single column", {".", "K", "."}, {{0, 0, 1, 1}, {0, 2, 1, 3}}},
    };
    for (int bpp : {8, 16, 24, 32}) {
        for (const auto& c : cases) {
            const CTestImage img(c.rows, bpp);
            EXPECT_EQ(KeyColourRuns(img.image, kMagenta), c.runs) << c.name << " at " << bpp << " bpp";
        }
    }
}

TEST(KeyColourRuns, SixteenBitComparesTheTopBitsOfAFiveSixFivePixel) {
    // 5-6-5 drops low bits: green 7 keeps one bit of its six, which 5-5-5 would drop.
    const SkinColour key = MakeSkinColour(250, 7, 251);
    EXPECT_EQ(ColourTo565(key), 0xF83F);
    Bytes bits = {0x3F, 0xF8, 0x1F, 0xF8}; // the key, then magenta
    const CPixelImage image{bits.data(), 2, 1, 4, 16, nullptr, 0};
    EXPECT_EQ(KeyColourRuns(image, key), (Runs{{1, 0, 2, 1}}));
}

TEST(KeyColourRuns, RejectsWhatItCannotRead) {
    Bytes bits(64, 0);
    const CPixelImage bad[] = {
        {nullptr, 2, 2, 8, 32, nullptr, 0},
        {bits.data(), 2, 2, 8, 4, nullptr, 0},
        {bits.data(), 0, 2, 8, 32, nullptr, 0},
        {bits.data(), 4, 2, 8, 32, nullptr, 0}, // stride too short
    };
    for (const CPixelImage& image : bad) {
        EXPECT_TRUE(KeyColourRuns(image, kMagenta).empty());
    }
    // An index outside the colour table is never the key.
    Bytes row = {7, 0, 0, 0};
    Bytes palette = {255, 0, 255, 0};
    const CPixelImage indexed{row.data(), 1, 1, 4, 8, palette.data(), 1};
    EXPECT_EQ(KeyColourRuns(indexed, kMagenta), (Runs{{0, 0, 1, 1}}));
}

} // namespace
