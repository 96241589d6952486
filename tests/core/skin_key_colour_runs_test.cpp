#include "skin/core/key_colour_runs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const SkinColour kMagenta = MakeSkinColour(255, 0, 255);
const SkinColour kGrey = MakeSkinColour(90, 100, 110);

// Builds a DIB from rows of 'K' (key) and '.' (other colour) in the given
// depth; padding bytes are filled with the key's bytes so a reader that
// looks past the row end finds "key" pixels there.
struct CTestImage {
    std::vector<std::uint8_t> bits;
    std::vector<std::uint8_t> palette;
    CPixelImage image;

    CTestImage(const std::vector<std::string>& rows, int bpp) {
        const int width = static_cast<int>(rows.front().size());
        const int stride = DibStride(width, bpp);
        bits.assign(static_cast<std::size_t>(stride) * rows.size(), 0xFF);
        palette = {110, 100, 90, 0, 255, 0, 255, 0}; // index 0 grey, 1 magenta
        for (std::size_t y = 0; y < rows.size(); ++y) {
            for (int x = 0; x < width; ++x) {
                Put(&bits[y * stride], x, bpp, rows[y][x] == 'K' ? kMagenta : kGrey);
            }
        }
        image = {bits.data(), width, static_cast<int>(rows.size()), stride, bpp, palette.data(), 2};
    }

    static void Put(std::uint8_t* row, int x, int bpp, SkinColour c) {
        switch (bpp) {
        case 8:
            row[x] = c == kMagenta ? 1 : 0;
            break;
        case 16: {
            const std::uint16_t v = ColourTo565(c);
            row[2 * x] = v & 0xFF;
            row[2 * x + 1] = v >> 8;
            break;
        }
        default: {
            std::uint8_t* p = row + x * (bpp / 8);
            p[0] = static_cast<std::uint8_t>(BlueOf(c));
            p[1] = static_cast<std::uint8_t>(GreenOf(c));
            p[2] = static_cast<std::uint8_t>(RedOf(c));
            if (bpp == 32) {
                p[3] = 0x5A; // unused byte must not matter
            }
        }
        }
    }
};

struct RunCase {
    const char* name;
    std::vector<std::string> rows;
    std::vector<CPixelRect> runs;
};

TEST(KeyColourRuns, EveryDepthGivesTheSameRuns) {
    const RunCase cases[] = {
        {"all key", {"KKK", "KKK"}, {}},
        {"no key", {"...", "...", "..."}, {{0, 0, 3, 1}, {0, 1, 3, 2}, {0, 2, 3, 3}}},
        {"runs", {"K..K.", ".KKK.", "KKKKK"}, {{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 1, 1, 2}, {4, 1, 5, 2}}},
        {"single column", {".", "K", "."}, {{0, 0, 1, 1}, {0, 2, 1, 3}}},
    };
    for (int bpp : {8, 16, 24, 32}) {
        for (const RunCase& c : cases) {
            const CTestImage img(c.rows, bpp);
            EXPECT_EQ(KeyColourRuns(img.image, kMagenta), c.runs) << c.name << " at " << bpp << " bpp";
        }
    }
}

TEST(KeyColourRuns, SixteenBitComparesTheTopBitsOnly) {
    // 5-6-5 drops low bits: a near-magenta pixel is the key at 16 bpp only.
    const SkinColour near = MakeSkinColour(250, 3, 251);
    EXPECT_EQ(ColourTo565(near), ColourTo565(kMagenta));
    EXPECT_EQ(ColourTo565(kMagenta), 0xF81F);
    std::vector<std::uint8_t> bits = {0x1F, 0xF8, 0x00, 0x00};
    CPixelImage image{bits.data(), 2, 1, 4, 16, nullptr, 0};
    EXPECT_EQ(KeyColourRuns(image, near), (std::vector<CPixelRect>{{1, 0, 2, 1}}));
}

TEST(KeyColourRuns, RejectsWhatItCannotRead) {
    std::vector<std::uint8_t> bits(64, 0);
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
    std::vector<std::uint8_t> row = {7, 0, 0, 0};
    std::vector<std::uint8_t> palette = {255, 0, 255, 0};
    CPixelImage indexed{row.data(), 1, 1, 4, 8, palette.data(), 1};
    EXPECT_EQ(KeyColourRuns(indexed, kMagenta), (std::vector<CPixelRect>{{0, 0, 1, 1}}));
}

} // namespace
