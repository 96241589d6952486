#include "skin/core/button_layout.h"

int ButtonStateImage(bool enabled, bool hover, bool pressed, bool focused) {
    if (!enabled) {
        return kButtonDisabled;
    }
    if (hover) {
        return pressed ? kButtonPressed : kButtonHover;
    }
    return focused ? kButtonFocused : kButtonNormal;
}

CPixelRect ButtonStateSource(int index, int stripWidth, int stripHeight) {
    return {index * stripWidth / kButtonImageCount, 0, (index + 1) * stripWidth / kButtonImageCount,
            stripHeight};
}

std::vector<CStretchCopy> NineGridCopies(const CPixelRect& s, int w, int h, const CNineGridBorders& b) {
    const int lw = b.left, rw = b.right, th = b.top, bh = b.bottom;
    return {
        {{s.left, s.top, s.left + lw, s.top + th}, {0, 0, lw, th}},
        {{s.right - rw, s.top, s.right, s.top + th}, {w - rw, 0, w, th}},
        {{s.left, s.bottom - bh, s.left + lw, s.bottom}, {0, h - bh, lw, h}},
        {{s.right - rw, s.bottom - bh, s.right, s.bottom}, {w - rw, h - bh, w, h}},
        {{s.left + lw, s.top, s.right - rw, s.top + th}, {lw, 0, w - rw, th}},
        {{s.left + lw, s.bottom - bh, s.right - rw, s.bottom}, {lw, h - bh, w - rw, h}},
        {{s.left, s.top + th, s.left + lw, s.bottom - bh}, {0, th, lw, h - bh}},
        {{s.right - rw, s.top + th, s.right, s.bottom - bh}, {w - rw, th, w, h - bh}},
        {{s.left + lw, s.top + th, s.right - rw, s.bottom - bh}, {lw, th, w - rw, h - bh}},
    };
}
