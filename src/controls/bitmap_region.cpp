#include "controls/bitmap_region.h"

#include "framework/bitmap_region.h"

namespace {

constexpr COLORREF kShapeKey = RGB(255, 0, 255);

} // namespace

unique_hrgn CreateBitmapRegion(HBITMAP bitmap) {
    return bitmap ? RegionFromKeyColour(bitmap, kShapeKey) : unique_hrgn();
}

void DrawBitmapBackground(HDC dc, HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info))
        return;
    unique_hdc memory(CreateCompatibleDC(dc));
    unique_select_object select(memory.get(), bitmap);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}
