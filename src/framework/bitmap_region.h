#pragma once
// Window shapes cut from bitmaps: the skin library's frames and buttons, the
// program's login dialog and notice popup.
#include "framework/gdi.h"

// A new region of the bitmap's pixels that differ from key, read in the
// bitmap's own depth (8 through its palette, 16 as 5-6-5, 24, 32); an image of
// nothing but key gives an empty region. The bitmap must not be selected into a DC.
unique_hrgn RegionFromKeyColour(HBITMAP bitmap, COLORREF key);
