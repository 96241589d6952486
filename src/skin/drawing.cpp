#include "skin/drawing.h"

#include "skin/core/key_colour_runs.h"
#include "skin/core/menu_layout.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kPaletteEntries = 256;

// Reads a bitmap's pixels top-down in its own depth (5-6-5 for 16 bits;
// depths below 8 are read as 32 bits).
struct CDibPixels {
    std::vector<std::uint8_t> bits;
    std::vector<std::uint8_t> palette;
    CPixelImage image;
};

bool ReadPixels(HBITMAP bitmap, CDibPixels& out) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
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
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, info.bmHeight, out.bits.data(),
                               reinterpret_cast<BITMAPINFO*>(header.data()), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
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

HRGN RegionFromRects(const std::vector<CPixelRect>& rects) {
    if (rects.empty()) {
        return CreateRectRgn(0, 0, 0, 0);
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
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                           reinterpret_cast<const RGNDATA*>(data.data()));
}

} // namespace

HRGN RegionFromKeyColour(HBITMAP bitmap, COLORREF key) {
    CDibPixels pixels;
    if (!ReadPixels(bitmap, pixels)) {
        return CreateRectRgn(0, 0, 0, 0);
    }
    return RegionFromRects(KeyColourRuns(pixels.image, static_cast<SkinColour>(key)));
}

void TransparentCopy(HDC target, int x, int y, int width, int height, HBITMAP source, int sourceX,
                     int sourceY, COLORREF key) {
    if (width <= 0 || height <= 0 || source == nullptr) {
        return;
    }
    unique_hdc sourceDC(CreateCompatibleDC(target));
    unique_hdc colourDC(CreateCompatibleDC(target));
    unique_hdc maskDC(CreateCompatibleDC(target));
    unique_hbitmap colour(CreateCompatibleBitmap(target, width, height));
    unique_hbitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
    if (!sourceDC || !colourDC || !maskDC || !colour || !mask) {
        return;
    }
    unique_select_object selectSource(sourceDC.get(), source);
    unique_select_object selectColour(colourDC.get(), colour.get());
    unique_select_object selectMask(maskDC.get(), mask.get());

    BitBlt(colourDC.get(), 0, 0, width, height, sourceDC.get(), sourceX, sourceY, SRCCOPY);
    // Key pixels become 1 in the mask, all others 0.
    SetBkColor(colourDC.get(), key);
    BitBlt(maskDC.get(), 0, 0, width, height, colourDC.get(), 0, 0, SRCCOPY);
    // Blacken the key pixels of the copy.
    SetBkColor(colourDC.get(), RGB(0, 0, 0));
    SetTextColor(colourDC.get(), RGB(255, 255, 255));
    BitBlt(colourDC.get(), 0, 0, width, height, maskDC.get(), 0, 0, SRCAND);
    // Clear the target where the copy is drawn, then lay the copy in.
    const COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
    BitBlt(target, x, y, width, height, maskDC.get(), 0, 0, SRCAND);
    BitBlt(target, x, y, width, height, colourDC.get(), 0, 0, SRCPAINT);
    SetBkColor(target, oldBk);
    SetTextColor(target, oldText);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const COLORREF old = SetBkColor(dc, colour);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void FillGradient(HDC dc, const RECT& rect, COLORREF start, COLORREF end) {
    for (const CGradientStrip& strip : GradientStrips(rect.left, rect.right, start, end)) {
        FillSolid(dc, {strip.left, rect.top, strip.right, rect.bottom}, strip.colour);
    }
}

CBufferDC::CBufferDC(const RECT& rect, HDC target) : target_(target), rect_(rect) {
    if (IsRectEmpty(&rect_)) {
        GetClipBox(target, &rect_);
    }
    memory_.reset(CreateCompatibleDC(target));
    // As large as the rectangle's far corner, so drawing uses the target's coordinates.
    bitmap_.reset(
        CreateCompatibleBitmap(target, std::max<LONG>(rect_.right, 1), std::max<LONG>(rect_.bottom, 1)));
    if (!memory_ || !bitmap_) {
        return;
    }
    previous_ = SelectObject(memory_.get(), bitmap_.get());
    ExcludeClipRect(memory_.get(), 0, 0, rect_.right, rect_.top);
    ExcludeClipRect(memory_.get(), 0, 0, rect_.left, rect_.bottom);
}

CBufferDC::~CBufferDC() {
    if (!memory_ || !bitmap_) {
        return;
    }
    BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, memory_.get(),
           rect_.left, rect_.top, SRCCOPY);
    SelectObject(memory_.get(), previous_);
}
