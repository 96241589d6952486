#include "skin/drawing.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using skintest::kKey;

const COLORREF kGreen = RGB(0, 160, 0);
const COLORREF kRed = RGB(200, 0, 0);

std::vector<std::string> ReadPicture(HDC dc, int width, int height) {
    std::vector<std::string> rows(height, std::string(width, '?'));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            rows[y][x] = c == kKey ? 'K' : c == kGreen ? 'G' : c == kRed ? '.' : '?';
        }
    }
    return rows;
}

// A DIB section of the given depth (16 bits as 5-6-5; 8 bits with a red and
// a magenta colour) showing rows of 'K' (key) and '.' (red).
unique_hbitmap PictureBitmap(const std::vector<std::string>& rows, int depth) {
    struct {
        BITMAPINFOHEADER header;
        DWORD extra[3];
    } info{{sizeof(BITMAPINFOHEADER), static_cast<LONG>(rows.front().size()), -static_cast<LONG>(rows.size()),
            1, static_cast<WORD>(depth), depth == 16 ? DWORD{BI_BITFIELDS} : DWORD{BI_RGB}, 0, 0, 0, 0, 0},
           {0xF800, 0x07E0, 0x001F}};
    if (depth == 8) {
        info.header.biClrUsed = 2;
        info.extra[0] = 0x00C80000; // quads are blue/green/red/reserved
        info.extra[1] = 0x00FF00FF;
    }
    void* bits = nullptr;
    unique_hbitmap bitmap(
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), bitmap.get());
    for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
        for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
            SetPixelV(dc.get(), x, y, rows[y][x] == 'K' ? kKey : kRed);
        }
    }
    return bitmap;
}

TEST(SkinDrawing, RegionFromKeyColourInEveryDepth) {
    const std::vector<std::vector<std::string>> pictures = {
        {"KKKK", "KKKK"},
        {"....", "....", "...."},
        {"K..K", ".KK.", "K.K."},
    };
    for (int depth : {8, 16, 24, 32}) {
        for (const auto& picture : pictures) {
            const int width = static_cast<int>(picture.front().size());
            const int height = static_cast<int>(picture.size());
            const unique_hbitmap bitmap = PictureBitmap(picture, depth);
            ASSERT_TRUE(bitmap);
            unique_hrgn region(RegionFromKeyColour(bitmap.get(), kKey));
            std::vector<std::string> inside(height, std::string(width, 'K'));
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    if (PtInRegion(region.get(), x, y)) {
                        inside[y][x] = '.';
                    }
                }
            }
            EXPECT_EQ(inside, picture) << depth << " bpp";
        }
    }
}

TEST(SkinDrawing, TransparentCopyLeavesKeyPixelsUnchanged) {
    const unique_hbitmap source = PictureBitmap({"K.K.", ".KK."}, 32);
    unique_hbitmap target(skintest::ScreenBitmap(6, 2));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), target.get());
    FillSolid(dc.get(), {0, 0, 6, 2}, kGreen);
    TransparentCopy(dc.get(), 1, 0, 4, 2, source.get(), 0, 0, kKey);
    EXPECT_EQ(ReadPicture(dc.get(), 6, 2), (std::vector<std::string>{"GG.G.G", "G.GG.G"}));
}

} // namespace
