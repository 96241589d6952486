#pragma once
#include "framework/gdi.h"

// The shape of a window drawn from a bitmap: every pixel that is not magenta
// (the 5-6-5 value 0xF81F in a 16-bit bitmap). Empty when the bitmap is.
unique_hrgn CreateBitmapRegion(HBITMAP bitmap);

// Paints the whole bitmap 1:1 at the DC's origin: the background of such a window.
void DrawBitmapBackground(HDC dc, HBITMAP bitmap);
