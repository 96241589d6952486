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

CBufferDC::CBufferDC(const RECT& rect, HDC target) : m_target(target), m_rect(rect) {
    if (IsRectEmpty(&m_rect)) {
        GetClipBox(target, &m_rect);
    }
    m_memory.reset(CreateCompatibleDC(target));
    // As large as the rectangle's far corner, so drawing uses the target's coordinates.
    m_bitmap.reset(
        CreateCompatibleBitmap(target, std::max<LONG>(m_rect.right, 1), std::max<LONG>(m_rect.bottom, 1)));
    if (!m_memory || !m_bitmap) {
        return;
    }
    m_previous = SelectObject(m_memory.get(), m_bitmap.get());
    ExcludeClipRect(m_memory.get(), 0, 0, m_rect.right, m_rect.top);
    ExcludeClipRect(m_memory.get(), 0, 0, m_rect.left, m_rect.bottom);
}

CBufferDC::~CBufferDC() {
    if (!m_memory || !m_bitmap) {
        return;
    }
    BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top,
           m_memory.get(), m_rect.left, m_rect.top, SRCCOPY);
    SelectObject(m_memory.get(), m_previous);
}
