#include "skin/core/frame_layout.h"

#include <algorithm>

namespace {

bool Contains(const CPixelRect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

} // namespace

bool IsSizingHit(int hit) {
    return hit >= kHitLeft && hit <= kHitBottomRight;
}

CBandSplit SplitBand(int nearFixed, int farFixed, int imageLength) {
    CBandSplit split{nearFixed, imageLength - farFixed};
    if (split.farEdge <= split.nearEdge) {
        split.farEdge = split.nearEdge + 1;
    }
    return split;
}

std::vector<CBandCopy> BandCopies(int start, int length, CBandSplit split, int imageLength,
                                  bool dropLastPixel) {
    std::vector<CBandCopy> copies;
    const int end = start + length;
    if (split.nearEdge > 0) {
        copies.push_back({start, 0, split.nearEdge});
    }
    const int step = split.farEdge - split.nearEdge;
    if (step > 0) {
        for (int pos = start + split.nearEdge; pos < end; pos += step) {
            copies.push_back({pos, split.nearEdge, std::min(step, end - pos)});
        }
    }
    const int farLength = (dropLastPixel ? imageLength - 1 : imageLength) - split.farEdge;
    if (farLength > 0) {
        copies.push_back({end - farLength, split.farEdge, farLength});
    }
    return copies;
}

CPixelRect CaptionButtonThemeRect(int xCoord, int yCoord, int imageWidth, int imageHeight, int imageCount) {
    const int buttonWidth = imageCount > 0 ? imageWidth / imageCount : imageWidth;
    return {xCoord - buttonWidth, yCoord, xCoord, yCoord + imageHeight};
}

CPixelRect CaptionButtonWindowRect(const CPixelRect& themeRect, int windowWidth) {
    return {windowWidth - themeRect.right, themeRect.top, windowWidth - themeRect.left, themeRect.bottom};
}

int CaptionButtonStateIndex(int hit, int pressedHit, int hoverHit) {
    if (pressedHit == hit) {
        return 1;
    }
    if (hoverHit == hit) {
        return 2;
    }
    return 0;
}

int MaxButtonImageIndex(bool hasMaxBox, bool hasMinBox, int stateIndex, int imageCount) {
    if (hasMaxBox) {
        return stateIndex;
    }
    if (hasMinBox) {
        return imageCount - 1;
    }
    return -1;
}

int FrameHitTest(const CFrameHitInput& f, int x, int y) {
    const int w = f.width, h = f.height;
    const int t = f.bands.top, l = f.bands.left, r = f.bands.right, b = f.bands.bottom;
    if (f.hasClose && Contains(f.close, x, y)) {
        return kHitClose;
    }
    if (f.hasMin && f.hasMinBox && Contains(f.min, x, y)) {
        return kHitMinButton;
    }
    if (f.hasMax && f.hasMaxBox && Contains(f.max, x, y)) {
        return kHitMaxButton;
    }
    if (Contains({l, kIconTop, l + f.smallIconWidth, kIconTop + f.smallIconHeight}, x, y)) {
        return kHitSysMenu;
    }
    if (f.sizable && f.windowState != kStateMaximized) {
        // The top sizing strip is only as thick as the bottom band, so the
        // rest of the top band stays a caption.
        const struct {
            CPixelRect rect;
            int hit;
        } sizing[] = {
            {{0, 0, l, t}, kHitTopLeft},        {{w - r, 0, w, t}, kHitTopRight},
            {{0, h - b, l, h}, kHitBottomLeft}, {{w - r, h - b, w, h}, kHitBottomRight},
            {{0, t, l, h - b}, kHitLeft},       {{w - r, t, w, h - b}, kHitRight},
            {{l, h - b, w - r, h}, kHitBottom}, {{l, 0, w - r, b}, kHitTop},
        };
        for (const auto& zone : sizing) {
            if (Contains(zone.rect, x, y)) {
                return zone.hit;
            }
        }
    }
    if (Contains({l, kIconTop, w - r, t}, x, y)) {
        return kHitCaption;
    }
    return kHitClient;
}

CPixelRect TitleTextBox(int textShift, int textShiftVert, int windowWidth, int topImageWidth, int topFar,
                        int bandTop) {
    return {textShift, textShiftVert, windowWidth - topImageWidth + topFar, bandTop};
}
