#include "skin/my_bitmap.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using skintest::CTempFolder;

// A 2 x 2 bitmap file of any depth: palette (BGRA), then the rows as stored.
std::string BmpFile(int depth, int height, const std::vector<RGBQUAD>& palette, const std::string& rows) {
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{sizeof(info), 2, height, 1, static_cast<WORD>(depth), BI_RGB, 0, 0, 0, 0, 0};
    info.biClrUsed = static_cast<DWORD>(palette.size());
    const std::size_t table = palette.size() * sizeof(RGBQUAD);
    file.bfType = 0x4D42;
    file.bfOffBits = static_cast<DWORD>(sizeof(file) + sizeof(info) + table);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    bytes.append(reinterpret_cast<const char*>(palette.data()), table);
    return bytes + rows;
}

std::vector<COLORREF> Pixels(const CMyBitmap& image) {
    unique_hdc memory(CreateCompatibleDC(nullptr));
    unique_select_object select(memory.get(), image.GetSafeHandle());
    std::vector<COLORREF> pixels;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            pixels.push_back(GetPixel(memory.get(), x, y));
        }
    }
    return pixels;
}

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255),
               kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

// Bitmap files are decoded without OLE: every depth and row order gives the
// colours the file holds, top row first; a file whose parts do not fit gives
// no image at all.
TEST(SkinBitmapFile, EveryDepthAndRowOrder) {
    const std::vector<RGBQUAD> redGreen{{0, 0, 255, 0}, {0, 255, 0, 0}};
    const std::vector<RGBQUAD> blackWhite{{0, 0, 0, 0}, {255, 255, 255, 0}};
    // 24 bits: rows of 6 bytes padded to 8, blue first.
    const std::string rows24 = std::string("\xFF\x00\x00\x00\x00\xFF\0\0", 8) + // bottom: blue, red
                               std::string("\x00\xFF\x00\xFF\xFF\xFF\0\0", 8);  // top: green, white
    const struct {
        const char* name;
        std::string file;
        std::vector<COLORREF> expected; // top row first
    } cases[] = {
        {"24 bits, bottom-up", BmpFile(24, 2, {}, rows24), {kGreen, kWhite, kBlue, kRed}},
        {"24 bits, top-down", BmpFile(24, -2, {}, rows24), {kBlue, kRed, kGreen, kWhite}},
        {"8 bits",
         BmpFile(8, 2, redGreen, std::string("\x01\x00\0\0\x00\x01\0\0", 8)),
         {kRed, kGreen, kGreen, kRed}},
        {"1 bit in colours",
         BmpFile(1, 2, redGreen, std::string("\x40\0\0\0\x80\0\0\0", 8)),
         {kGreen, kRed, kRed, kGreen}},
        {"1 bit black and white",
         BmpFile(1, 2, blackWhite, std::string("\x40\0\0\0\x80\0\0\0", 8)),
         {kWhite, kBlack, kBlack, kWhite}},
    };
    CTempFolder folder;
    for (const auto& c : cases) {
        const std::string path = folder.File("image.bmp");
        ASSERT_TRUE(skintest::WriteText(path, c.file));
        CMyBitmap image;
        ASSERT_TRUE(image.LoadFromFile(path)) << c.name;
        EXPECT_EQ(image.Width(), 2) << c.name;
        EXPECT_EQ(image.Height(), 2) << c.name;
        EXPECT_EQ(Pixels(image), c.expected) << c.name;
    }

    const std::string cut = BmpFile(24, 2, {}, rows24.substr(0, 15));
    ASSERT_TRUE(skintest::WriteText(folder.File("cut.bmp"), cut));
    CMyBitmap image;
    EXPECT_FALSE(image.LoadFromFile(folder.File("cut.bmp")));
    EXPECT_FALSE(image.HasImage());
}

} // namespace
