#pragma once
// Drawing helpers shared by the frame, the buttons and the menus.
#include "framework/bitmap_region.h"
#include "framework/gdi.h"

// Copies a rectangle of source to target, leaving out the pixels of the key colour.
void TransparentCopy(HDC target, int x, int y, int width, int height, HBITMAP source, int sourceX,
                     int sourceY, COLORREF key);

// Fills [left, right) x [top, bottom) with a horizontal gradient.
void FillGradient(HDC dc, const RECT& rect, COLORREF start, COLORREF end);
void FillSolid(HDC dc, const RECT& rect, COLORREF colour);

// An off-screen surface standing in for one rectangle of a target DC, with
// the target's coordinates; what is drawn reaches the target when it goes.
class CBufferDC {
public:
    // An empty rectangle stands for the target's clip box.
    CBufferDC(const RECT& rect, HDC target);
    ~CBufferDC();
    CBufferDC(const CBufferDC&) = delete;
    CBufferDC& operator=(const CBufferDC&) = delete;

    HDC get() const { return m_memory.get(); }
    const RECT& rect() const { return m_rect; }

private:
    HDC m_target; // borrowed
    RECT m_rect;
    unique_hdc m_memory;
    unique_hbitmap m_bitmap;
    HGDIOBJ m_previous = nullptr; // the memory DC's own bitmap, put back at the end
};
