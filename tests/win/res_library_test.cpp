// res.dll, loaded from beside the test program as the program loads it from its own folder.
#include "framework/com.h"
#include "framework/gdi.h"
#include "framework/gdiplus_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr COLORREF kKeyColour = RGB(255, 0, 255);

unique_hmodule LoadResourceLibrary() {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    folder.resize(folder.rfind(L'\\') + 1);
    return unique_hmodule(LoadLibraryW((folder + L"res.dll").c_str()));
}

// A bitmap's size and depth, and the top-down pixels of a 24-bit DIB section.
struct Image {
    BITMAP info{};
    std::vector<COLORREF> pixels;
};

Image ReadImage(HBITMAP bitmap) {
    Image image;
    BITMAP& info = image.info;
    if (!GetObjectW(bitmap, sizeof(info), &info) || !info.bmBits || info.bmBitsPixel != 24) {
        return image;
    }
    for (int y = info.bmHeight - 1; y >= 0; --y) {
        const auto* row = static_cast<const BYTE*>(info.bmBits) + y * info.bmWidthBytes;
        for (int x = 0; x < info.bmWidth; ++x) {
            image.pixels.push_back(RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
        }
    }
    return image;
}

class ResourceLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_library) << "res.dll does not load from the test's folder"; }

    Image Bitmap(int id) const {
        unique_hbitmap bitmap(static_cast<HBITMAP>(
            LoadImageW(m_library.get(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        return ReadImage(bitmap.get());
    }

    // The colour part of the icon at the given size (its pixels are not read).
    Image Icon(int id, int size) const {
        unique_hicon icon(static_cast<HICON>(
            LoadImageW(m_library.get(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
        ICONINFO parts{};
        if (!icon || !GetIconInfo(icon.get(), &parts)) {
            return {};
        }
        unique_hbitmap colour(parts.hbmColor);
        unique_hbitmap mask(parts.hbmMask);
        return ReadImage(colour.get());
    }

    // Decodes the animation with GDI+, frame by frame.
    void CheckGif(int id, UINT width, UINT height) const {
        HRSRC found = FindResourceW(m_library.get(), MAKEINTRESOURCEW(id), L"GIF");
        ASSERT_TRUE(found);
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(m_library.get(), found)));
        const std::string data(bytes, SizeofResource(m_library.get(), found));
        EXPECT_EQ(data.substr(0, 6), "GIF89a");
        EXPECT_NE(data.find("NETSCAPE2.0"), std::string::npos) << "the animation loops";

        com_ptr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
        ASSERT_EQ(stream->Write(data.data(), static_cast<ULONG>(data.size()), nullptr), S_OK);
        ASSERT_EQ(stream->Seek({}, STREAM_SEEK_SET, nullptr), S_OK);
        auto gdiplus = GdiplusStartupScoped();
        Gdiplus::Image image(stream.get());
        ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok);
        const UINT frames = image.GetFrameCount(&Gdiplus::FrameDimensionTime);
        EXPECT_GT(frames, 1u);
        EXPECT_EQ(image.GetWidth(), width);
        EXPECT_EQ(image.GetHeight(), height);
        for (UINT i = 0; i < frames; ++i) {
            EXPECT_EQ(image.SelectActiveFrame(&Gdiplus::FrameDimensionTime, i), Gdiplus::Ok) << "frame " << i;
        }
    }

    unique_hmodule m_library = LoadResourceLibrary();
};

enum class Kind { Bitmap, Icon, Gif };

// The whole resource table. The backgrounds cover 203 x 153 and 176 x 49 dialog units of 9-point
// 宋体; the caption buttons fit the title bands; icons come at 16 and 32 pixels.
struct Entry {
    int id;
    Kind kind;
    int width;
    int height;
};
constexpr Entry kEntries[] = {
    {109, Kind::Bitmap, 28, 20},   {110, Kind::Bitmap, 28, 20},  {111, Kind::Bitmap, 28, 20},
    {112, Kind::Bitmap, 28, 20},   {113, Kind::Bitmap, 28, 20},  {114, Kind::Bitmap, 28, 20},
    {117, Kind::Bitmap, 305, 230}, {120, Kind::Icon, 0, 0},      {121, Kind::Icon, 0, 0},
    {123, Kind::Gif, 288, 28},     {127, Kind::Bitmap, 264, 74}, {128, Kind::Bitmap, 16, 16},
    {129, Kind::Bitmap, 16, 16},   {130, Kind::Bitmap, 16, 16},  {132, Kind::Bitmap, 32, 32},
    {133, Kind::Icon, 0, 0},
};

TEST_F(ResourceLibraryTest, EveryEntryLoadsAtItsSize) {
    for (const Entry& e : kEntries) {
        SCOPED_TRACE(e.id);
        if (e.kind == Kind::Bitmap) {
            Image image = Bitmap(e.id);
            EXPECT_EQ(image.info.bmWidth, e.width);
            EXPECT_EQ(image.info.bmHeight, e.height);
            EXPECT_EQ(image.info.bmBitsPixel, 24);
        } else if (e.kind == Kind::Icon) {
            for (int size : {16, 32}) {
                Image image = Icon(e.id, size);
                EXPECT_EQ(image.info.bmWidth, size);
                EXPECT_EQ(image.info.bmHeight, size);
            }
        } else {
            CheckGif(e.id, e.width, e.height);
        }
    }
}

TEST_F(ResourceLibraryTest, ButtonStatesLookDifferent) {
    struct StateSet {
        int normal, hover, pressed;
    };
    for (StateSet set : {StateSet{110, 111, 109}, StateSet{113, 114, 112}, StateSet{129, 130, 128}}) {
        SCOPED_TRACE(set.normal);
        std::vector<COLORREF> normal = Bitmap(set.normal).pixels;
        std::vector<COLORREF> hover = Bitmap(set.hover).pixels;
        std::vector<COLORREF> pressed = Bitmap(set.pressed).pixels;
        ASSERT_FALSE(normal.empty());
        EXPECT_NE(normal, hover);
        EXPECT_NE(hover, pressed);
        EXPECT_NE(normal, pressed);
        // The normal image lets the title band show through around its glyph.
        EXPECT_EQ(normal.front(), kKeyColour);
    }
}

TEST_F(ResourceLibraryTest, BackgroundsAreCutOutWithCleanMagentaOnly) {
    for (int id : {117, 127}) {
        SCOPED_TRACE(id);
        Image image = Bitmap(id);
        const int w = image.info.bmWidth;
        const int h = image.info.bmHeight;
        ASSERT_EQ(image.pixels.size(), static_cast<size_t>(w * h));
        // Rounded corners cut out, the middle and the middle of each edge kept.
        for (int index : {0, w - 1, (h - 1) * w, h * w - 1}) {
            EXPECT_EQ(image.pixels[index], kKeyColour) << "corner " << index;
        }
        for (int index :
             {(h / 2) * w + w / 2, w / 2, (h - 1) * w + w / 2, (h / 2) * w, (h / 2) * w + w - 1}) {
            EXPECT_NE(image.pixels[index], kKeyColour) << "pixel " << index;
        }
        // A pixel close to the key colour but not equal to it would stay visible as a pink fringe.
        int fringe = 0;
        for (COLORREF p : image.pixels) {
            fringe += p != kKeyColour && GetRValue(p) > 200 && GetBValue(p) > 200 && GetGValue(p) < 80;
        }
        EXPECT_EQ(fringe, 0);
    }
}

} // namespace
