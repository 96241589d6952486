#include "framework/bitmap_region.h"

#include "pixels/key_colour_runs.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr int kPaletteEntries = 256;
constexpr COLORREF kShapeKey = RGB(255, 0, 255);

// Reads a bitmap's pixels top-down in its own depth (5-6-5 for 16 bits;
// depths below 8 are read as 32 bits).
struct CDibPixels {
    std::vector<std::uint8_t> bits;
    std::vector<std::uint8_t> palette;
    CPixelImage image;
};

bool ReadPixels(HBITMAP bitmap, CDibPixels& out) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
        info.bmHeight <= 0) {
        return false;
    }
    int depth = info.bmBitsPixel * info.bmPlanes;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) {
        depth = 32;
    }
    // Header, then room for 256 colours or the three 16-bit masks.
    std::vector<std::uint8_t> header(sizeof(BITMAPINFOHEADER) + kPaletteEntries * sizeof(RGBQUAD));
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = info.bmWidth;
    bih->biHeight = -info.bmHeight; // top-down rows
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(depth);
    bih->biCompression = BI_RGB;
    if (depth == 16) {
        bih->biCompression = BI_BITFIELDS;
        auto* masks = reinterpret_cast<DWORD*>(header.data() + sizeof(BITMAPINFOHEADER));
        masks[0] = 0xF800;
        masks[1] = 0x07E0;
        masks[2] = 0x001F;
    }
    const int stride = DibStride(info.bmWidth, depth);
    out.bits.assign(static_cast<std::size_t>(stride) * info.bmHeight, 0);
    unique_hdc_window screen(nullptr);
    const int rows = GetDIBits(screen.get(), bitmap, 0, info.bmHeight, out.bits.data(),
                               reinterpret_cast<BITMAPINFO*>(header.data()), DIB_RGB_COLORS);
    if (rows != info.bmHeight) {
        return false;
    }
    if (depth == 8) {
        out.palette.assign(header.begin() + sizeof(BITMAPINFOHEADER), header.end());
    }
    out.image = {out.bits.data(),
                 info.bmWidth,
                 info.bmHeight,
                 stride,
                 depth,
                 out.palette.empty() ? nullptr : out.palette.data(),
                 out.palette.size() / sizeof(RGBQUAD)};
    return true;
}

unique_hrgn RegionFromRects(const std::vector<CPixelRect>& rects) {
    if (rects.empty()) {
        return unique_hrgn(CreateRectRgn(0, 0, 0, 0));
    }
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    RECT bounds{rects.front().left, rects.front().top, rects.front().right, rects.front().bottom};
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const CPixelRect& r = rects[i];
        out[i] = {r.left, r.top, r.right, r.bottom};
        bounds.left = std::min<LONG>(bounds.left, r.left);
        bounds.top = std::min<LONG>(bounds.top, r.top);
        bounds.right = std::max<LONG>(bounds.right, r.right);
        bounds.bottom = std::max<LONG>(bounds.bottom, r.bottom);
    }
    header->rcBound = bounds;
    return unique_hrgn(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                       reinterpret_cast<const RGNDATA*>(data.data())));
}

} // namespace

unique_hrgn RegionFromKeyColour(HBITMAP bitmap, COLORREF key) {
    CDibPixels pixels;
    if (!ReadPixels(bitmap, pixels)) {
        return unique_hrgn(CreateRectRgn(0, 0, 0, 0));
    }
    return RegionFromRects(KeyColourRuns(pixels.image, static_cast<SkinColour>(key)));
}

unique_hrgn CreateBitmapRegion(HBITMAP bitmap) {
    return bitmap ? RegionFromKeyColour(bitmap, kShapeKey) : unique_hrgn();
}

void DrawBitmapBackground(HDC dc, HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info)) {
        return;
    }
    unique_hdc memory(CreateCompatibleDC(dc));
    unique_select_object select(memory.get(), bitmap);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}
