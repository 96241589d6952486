#include "controls/bitmap_region.h"

#include "framework/bitmap_region.h"

namespace {

constexpr COLORREF kShapeKey = RGB(255, 0, 255);

} // namespace

unique_hrgn CreateBitmapRegion(HBITMAP bitmap) {
    return unique_hrgn(bitmap ? RegionFromKeyColour(bitmap, kShapeKey) : nullptr);
}
