#pragma once
// Window shapes cut from bitmaps: the skin library's frames and buttons, the
// program's login dialog and notice popup.
#include "framework/gdi.h"

// A new region of the bitmap's pixels that differ from key, read in the
// bitmap's own depth (8 through its palette, 16 as 5-6-5, 24, 32); an image of
// nothing but key gives an empty region. The bitmap must not be selected into a DC.
unique_hrgn RegionFromKeyColour(HBITMAP bitmap, COLORREF key);

// The shape of a window drawn from a bitmap: every pixel that is not magenta
// (the 5-6-5 value 0xF81F in a 16-bit bitmap). Empty when the bitmap is.
unique_hrgn CreateBitmapRegion(HBITMAP bitmap);

// Paints the whole bitmap 1:1 at the DC's origin: the background of such a window.
void DrawBitmapBackground(HDC dc, HBITMAP bitmap);
