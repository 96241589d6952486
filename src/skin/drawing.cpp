#include "skin/drawing.h"

#include "skin/core/menu_layout.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
