#include "skin/drawing.h"
#include "skin/my_bitmap.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using skintest::kKey;

const COLORREF kGreen = RGB(0, 160, 0);
const COLORREF kRed = RGB(200, 0, 0);

// A DIB section of the given depth drawn from rows of 'K' (key) and '.' (red).
HBITMAP PatternBitmap(const std::vector<std::string>& rows, int depth) {
    const int width = static_cast<int>(rows.front().size());
    const int height = static_cast<int>(rows.size());
    std::vector<std::uint8_t> header(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = width;
    bih->biHeight = -height;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(depth);
    bih->biCompression = depth == 16 ? BI_BITFIELDS : BI_RGB;
    auto* extra = reinterpret_cast<DWORD*>(header.data() + sizeof(BITMAPINFOHEADER));
    if (depth == 16) {
        extra[0] = 0xF800;
        extra[1] = 0x07E0;
        extra[2] = 0x001F;
    } else if (depth == 8) {
        bih->biClrUsed = 2;
        // Colour-table quads are blue/green/red/reserved: index 0 red, 1 magenta.
        extra[0] = 0x00C80000;
        extra[1] = 0x00FF00FF;
    }
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(header.data()), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    const int stride = ((width * depth + 31) / 32) * 4;
    auto* bytes = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool key = rows[y][x] == 'K';
            std::uint8_t* p = bytes + y * stride;
            switch (depth) {
            case 8:
                p[x] = key ? 1 : 0;
                break;
            case 16: {
                const std::uint16_t v = key ? 0xF81F : 0xC800;
                std::memcpy(p + 2 * x, &v, 2);
                break;
            }
            default: {
                std::uint8_t* px = p + x * (depth / 8);
                px[0] = key ? 255 : 0;
                px[1] = 0;
                px[2] = key ? 255 : 200;
            }
            }
        }
    }
    return bitmap;
}

std::vector<std::string> RegionPicture(HRGN region, int width, int height) {
    std::vector<std::string> rows(height, std::string(width, 'K'));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (PtInRegion(region, x, y)) {
                rows[y][x] = '.';
            }
        }
    }
    return rows;
}

TEST(SkinDrawing, RegionFromKeyColourInEveryDepth) {
    const std::vector<std::vector<std::string>> pictures = {
        {"KKKK", "KKKK"},
        {"....", "....", "...."},
        {"K..K", ".KK.", "K.K."},
    };
    for (int depth : {8, 16, 24, 32}) {
        for (const auto& picture : pictures) {
            HBITMAP bitmap = PatternBitmap(picture, depth);
            ASSERT_NE(bitmap, nullptr);
            unique_hrgn region(RegionFromKeyColour(bitmap, kKey));
            DeleteObject(bitmap);
            const int width = static_cast<int>(picture.front().size());
            const int height = static_cast<int>(picture.size());
            EXPECT_EQ(RegionPicture(region.get(), width, height), picture) << depth << " bpp";
        }
    }
}

TEST(SkinDrawing, AllKeyGivesEmptyRegionAndNoKeyOneRectanglePerRow) {
    HBITMAP allKey = PatternBitmap({"KKK", "KKK"}, 32);
    unique_hrgn empty(RegionFromKeyColour(allKey, kKey));
    RECT box{};
    EXPECT_EQ(GetRgnBox(empty.get(), &box), NULLREGION);
    DeleteObject(allKey);

    HBITMAP noKey = PatternBitmap({"...", "...", "..."}, 24);
    unique_hrgn full(RegionFromKeyColour(noKey, kKey));
    EXPECT_EQ(GetRgnBox(full.get(), &box), SIMPLEREGION);
    EXPECT_EQ(box.right, 3);
    EXPECT_EQ(box.bottom, 3);
    DeleteObject(noKey);
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), bitmap);
    return GetPixel(dc.get(), x, y);
}

TEST(SkinDrawing, TransparentCopyLeavesKeyPixelsUnchanged) {
    HDC screen = GetDC(nullptr);
    unique_hbitmap target(CreateCompatibleBitmap(screen, 6, 2));
    ReleaseDC(nullptr, screen);
    HBITMAP source = PatternBitmap({"K.K.", ".KK."}, 32);
    {
        unique_hdc dc(CreateCompatibleDC(nullptr));
        unique_select_object select(dc.get(), target.get());
        FillSolid(dc.get(), {0, 0, 6, 2}, kGreen);
        TransparentCopy(dc.get(), 1, 0, 4, 2, source, 0, 0, kKey);
    }
    DeleteObject(source);
    const char* expected[] = {"GGRGRG", "GRGGRG"};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(PixelOf(target.get(), x, y), expected[y][x] == 'G' ? kGreen : kRed) << x << "," << y;
        }
    }
}

TEST(SkinDrawing, BufferReachesOnlyItsRectangle) {
    HDC screen = GetDC(nullptr);
    unique_hbitmap target(CreateCompatibleBitmap(screen, 20, 20));
    ReleaseDC(nullptr, screen);
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), target.get());
    FillSolid(dc.get(), {0, 0, 20, 20}, kGreen);
    {
        CBufferDC buffer({5, 6, 12, 14}, dc.get());
        FillSolid(buffer.get(), {0, 0, 20, 20}, kRed); // clipped to the rectangle
    }
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 5 && x < 12 && y >= 6 && y < 14;
            ASSERT_EQ(GetPixel(dc.get(), x, y), inside ? kRed : kGreen) << x << "," << y;
        }
    }
}

TEST(SkinDrawing, GradientRunsFromStartToEnd) {
    HDC screen = GetDC(nullptr);
    unique_hbitmap target(CreateCompatibleBitmap(screen, 100, 2));
    ReleaseDC(nullptr, screen);
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), target.get());
    FillGradient(dc.get(), {0, 0, 100, 2}, RGB(0, 0, 0), RGB(200, 100, 0));
    // 200 steps over 100 pixels: every odd step is the one that shows.
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), RGB(1, 0, 0));
    EXPECT_EQ(GetPixel(dc.get(), 50, 1), RGB(101, 50, 0));
    EXPECT_EQ(GetPixel(dc.get(), 99, 0), RGB(199, 99, 0));
}

TEST(SkinDrawing, LoadFromFile) {
    skintest::CTempFolder folder;
    const std::string good = folder.File("picture.bmp");
    skintest::WriteBmp(good, 7, 5,
                       [](int x, int y) { return x == 0 && y == 0 ? kKey : RGB(10 * x, 20 * y, 30); });
    skintest::WriteText(folder.File("garbage.bmp"), "this is no picture at all");

    CMyBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadFromFile(good));
    EXPECT_EQ(bitmap.Width(), 7);
    EXPECT_EQ(bitmap.Height(), 5);
    EXPECT_EQ(PixelOf(bitmap.GetSafeHandle(), 0, 0), kKey);
    EXPECT_EQ(PixelOf(bitmap.GetSafeHandle(), 6, 4), RGB(60, 80, 30));
    EXPECT_FALSE(bitmap.LoadFromFile(good)) << "an object holding a bitmap refuses a second load";
    EXPECT_TRUE(bitmap.HasImage());

    const struct {
        const char* name;
        std::string path;
    } failures[] = {
        {"missing", folder.File("missing.bmp")},
        {"not a picture", folder.File("garbage.bmp")},
        {"too long a path", folder.path() + "\\" + std::string(400, 'x') + ".bmp"},
    };
    for (const auto& f : failures) {
        CMyBitmap empty;
        EXPECT_FALSE(empty.LoadFromFile(f.path)) << f.name;
        EXPECT_FALSE(empty.HasImage()) << f.name;
    }
}

} // namespace
