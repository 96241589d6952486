// res.dll, loaded from beside the test program as the program loads it from its own folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kKeyColour = RGB(255, 0, 255);

struct ModuleDeleter {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleDeleter>;

struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

struct IconDeleter {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

UniqueModule LoadResourceLibrary() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.resize(folder.rfind(L'\\') + 1);
    return UniqueModule(LoadLibraryW((folder + L"res.dll").c_str()));
}

// Top-down pixels as COLORREFs (red in the low byte), whatever the bitmap's own depth.
std::vector<COLORREF> ReadPixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> quads(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, height, quads.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<COLORREF> pixels;
    if (rows != height)
        return pixels;
    for (const RGBQUAD& q : quads)
        pixels.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    return pixels;
}

// Reads a GIF stream: its frames, each LZW-decoded, and whether it asks to loop.
class CGifReader {
public:
    explicit CGifReader(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}

    // Fails on any malformed block or frame whose pixel count is not width x height.
    bool Read() {
        if (data.size() < 13 || std::memcmp(data.data(), "GIF89a", 6) != 0)
            return false;
        width = data[6] | data[7] << 8;
        height = data[8] | data[9] << 8;
        pos = 13 + ((data[10] & 0x80) ? 3 * (2 << (data[10] & 7)) : 0);
        while (pos < data.size()) {
            uint8_t kind = data[pos++];
            if (kind == 0x3B)
                return true;
            if (kind == 0x21) {
                if (pos + 1 > data.size())
                    return false;
                uint8_t label = data[pos++];
                std::vector<uint8_t> payload;
                if (!SubBlocks(payload))
                    return false;
                loops = loops || (label == 0xFF && payload.size() >= 11 &&
                                  std::memcmp(payload.data(), "NETSCAPE2.0", 11) == 0);
            } else if (kind == 0x2C) {
                if (!Frame())
                    return false;
                ++frames;
            } else {
                return false;
            }
        }
        return false;
    }

    int width = 0;
    int height = 0;
    int frames = 0;
    bool loops = false;

private:
    bool SubBlocks(std::vector<uint8_t>& out) {
        while (pos < data.size()) {
            size_t size = data[pos++];
            if (size == 0)
                return true;
            if (pos + size > data.size())
                return false;
            out.insert(out.end(), data.begin() + pos, data.begin() + pos + size);
            pos += size;
        }
        return false;
    }

    bool Frame() {
        if (pos + 10 > data.size())
            return false;
        int w = data[pos + 4] | data[pos + 5] << 8;
        int h = data[pos + 6] | data[pos + 7] << 8;
        bool localTable = data[pos + 8] & 0x80;
        pos += 9 + (localTable ? 3 * (2 << (data[pos + 8] & 7)) : 0);
        if (pos >= data.size())
            return false;
        int minBits = data[pos++];
        std::vector<uint8_t> codes;
        return minBits >= 2 && minBits <= 8 && SubBlocks(codes) &&
               DecodedLength(codes, minBits) == static_cast<size_t>(w) * h;
    }

    // Number of pixels the LZW stream decodes to; 0 on a code the table cannot hold.
    static size_t DecodedLength(const std::vector<uint8_t>& codes, int minBits) {
        const int clear = 1 << minBits;
        const int end = clear + 1;
        std::vector<size_t> lengths;
        size_t bit = 0;
        size_t total = 0;
        int width = minBits + 1;
        int previous = -1;
        while (bit + width <= codes.size() * 8) {
            int code = 0;
            for (int i = 0; i < width; ++i, ++bit)
                code |= ((codes[bit / 8] >> (bit % 8)) & 1) << i;
            if (code == clear) {
                lengths.assign(clear + 2, 1);
                width = minBits + 1;
                previous = -1;
                continue;
            }
            if (code == end)
                return total;
            if (lengths.empty() || code > static_cast<int>(lengths.size()))
                return 0;
            if (previous >= 0 && lengths.size() < 4096)
                lengths.push_back(lengths[previous] + 1);
            if (code >= static_cast<int>(lengths.size()))
                return 0;
            total += lengths[code];
            if (lengths.size() == (1u << width) && width < 12)
                ++width;
            previous = code;
        }
        return 0;
    }

    std::vector<uint8_t> data;
    size_t pos = 0;
};

class ResourceLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library) << "res.dll does not load from the test's folder"; }

    UniqueBitmap Bitmap(int id) const {
        return UniqueBitmap(static_cast<HBITMAP>(
            LoadImageW(library.get(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }

    UniqueModule library = LoadResourceLibrary();
};

struct BitmapCase {
    int id;
    int width;
    int height;
};

// Sizes the dialogs are laid out for: the backgrounds cover 203 x 153 and 176 x 49 dialog units
// of 9-point 宋体; the caption buttons fit the title bands.
constexpr BitmapCase kBitmaps[] = {
    {109, 28, 20},   {110, 28, 20},  {111, 28, 20}, {112, 28, 20}, {113, 28, 20}, {114, 28, 20},
    {117, 305, 249}, {127, 264, 80}, {128, 16, 16}, {129, 16, 16}, {130, 16, 16}, {132, 32, 32},
};

TEST_F(ResourceLibraryTest, EveryBitmapLoadsAtItsSize) {
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE(c.id);
        UniqueBitmap bitmap = Bitmap(c.id);
        ASSERT_TRUE(bitmap);
        BITMAP info{};
        ASSERT_TRUE(GetObjectW(bitmap.get(), sizeof(info), &info));
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, c.height);
        EXPECT_EQ(info.bmBitsPixel, 24);
    }
}

TEST_F(ResourceLibraryTest, ButtonStatesLookDifferent) {
    struct StateSet {
        int normal, hover, pressed;
    };
    for (StateSet set : {StateSet{110, 111, 109}, StateSet{113, 114, 112}, StateSet{129, 130, 128}}) {
        SCOPED_TRACE(set.normal);
        std::vector<std::vector<COLORREF>> images;
        BITMAP first{};
        for (int id : {set.normal, set.hover, set.pressed}) {
            UniqueBitmap bitmap = Bitmap(id);
            ASSERT_TRUE(bitmap);
            BITMAP info{};
            GetObjectW(bitmap.get(), sizeof(info), &info);
            if (images.empty())
                first = info;
            ASSERT_EQ(info.bmWidth, first.bmWidth);
            ASSERT_EQ(info.bmHeight, first.bmHeight);
            images.push_back(ReadPixels(bitmap.get(), info.bmWidth, info.bmHeight));
            ASSERT_FALSE(images.back().empty());
        }
        EXPECT_NE(images[0], images[1]);
        EXPECT_NE(images[1], images[2]);
        EXPECT_NE(images[0], images[2]);
        // The normal image lets the title band show through around its glyph.
        EXPECT_EQ(images[0].front(), kKeyColour);
    }
}

TEST_F(ResourceLibraryTest, BackgroundsAreCutOutWithCleanMagentaOnly) {
    for (int id : {117, 127}) {
        SCOPED_TRACE(id);
        UniqueBitmap bitmap = Bitmap(id);
        ASSERT_TRUE(bitmap);
        BITMAP info{};
        GetObjectW(bitmap.get(), sizeof(info), &info);
        std::vector<COLORREF> pixels = ReadPixels(bitmap.get(), info.bmWidth, info.bmHeight);
        ASSERT_FALSE(pixels.empty());
        const int w = info.bmWidth;
        const int h = info.bmHeight;
        // Rounded corners cut out, the middle and the middle of each edge kept.
        for (int index : {0, w - 1, (h - 1) * w, h * w - 1})
            EXPECT_EQ(pixels[index], kKeyColour) << "corner " << index;
        for (int index : {(h / 2) * w + w / 2, w / 2, (h - 1) * w + w / 2, (h / 2) * w, (h / 2) * w + w - 1})
            EXPECT_NE(pixels[index], kKeyColour) << "pixel " << index;
        // A pixel close to the key colour but not equal to it would stay visible as a pink fringe.
        int fringe = 0;
        for (COLORREF p : pixels)
            fringe += p != kKeyColour && GetRValue(p) > 200 && GetBValue(p) > 200 && GetGValue(p) < 80;
        EXPECT_EQ(fringe, 0);
    }
}

TEST_F(ResourceLibraryTest, TrayIconsHaveBothSizesWithAlpha) {
    for (int id : {120, 121, 133}) {
        for (int size : {16, 32}) {
            SCOPED_TRACE(testing::Message() << id << " at " << size);
            UniqueIcon icon(static_cast<HICON>(
                LoadImageW(library.get(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
            ASSERT_TRUE(icon);
            ICONINFO parts{};
            ASSERT_TRUE(GetIconInfo(icon.get(), &parts));
            UniqueBitmap colour(parts.hbmColor);
            UniqueBitmap mask(parts.hbmMask);
            ASSERT_TRUE(colour);
            BITMAP info{};
            GetObjectW(colour.get(), sizeof(info), &info);
            EXPECT_EQ(info.bmWidth, size);
            EXPECT_EQ(info.bmHeight, size);
            std::vector<COLORREF> masked = ReadPixels(mask.get(), size, size);
            ASSERT_FALSE(masked.empty());
            int transparent = 0;
            for (COLORREF p : masked)
                transparent += p != 0;
            EXPECT_GT(transparent, 0) << "the shape needs see-through pixels";
            EXPECT_LT(transparent, size * size / 2) << "most of the icon should be drawn";
        }
    }
}

TEST_F(ResourceLibraryTest, WaitAnimationIsALoopingGifOfSeveralFrames) {
    HRSRC found = FindResourceW(library.get(), MAKEINTRESOURCEW(123), L"gif");
    ASSERT_TRUE(found);
    HGLOBAL loaded = LoadResource(library.get(), found);
    ASSERT_TRUE(loaded);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    CGifReader gif({bytes, bytes + SizeofResource(library.get(), found)});
    ASSERT_TRUE(gif.Read());
    EXPECT_GT(gif.frames, 1);
    EXPECT_TRUE(gif.loops);
    EXPECT_EQ(gif.width, 288);
    EXPECT_EQ(gif.height, 28);
}

} // namespace
