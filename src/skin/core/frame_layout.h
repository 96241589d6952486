#pragma once
// Geometry of the skinned window frame: how a band image is cut and tiled,
// where the caption buttons sit, and what each point of the frame means.
#include "pixels/key_colour_runs.h"

#include <vector>

// The platform's hit-test codes, named once for the portable code.
enum FrameHit : int {
    kHitNowhere = 0,
    kHitClient = 1,
    kHitCaption = 2,
    kHitSysMenu = 3,
    kHitMinButton = 8,
    kHitMaxButton = 9,
    kHitLeft = 10,
    kHitRight = 11,
    kHitTop = 12,
    kHitTopLeft = 13,
    kHitTopRight = 14,
    kHitBottom = 15,
    kHitBottomLeft = 16,
    kHitBottomRight = 17,
    kHitClose = 20,
};

bool IsSizingHit(int hit);

// Window states the library itself tracks (it maximizes by moving).
enum FrameWindowState : int { kStateNormal = 0, kStateMaximized = 1, kStateMinimized = 2 };

// The small icon's top edge, below the window's top edge; the caption starts
// at the same height and the icon at the left band's edge.
constexpr int kIconTop = 5;

// Frame thicknesses used for layout: half of each band image.
struct CFrameBands {
    int top = 0, left = 0, right = 0, bottom = 0;
};

// Where a band image is cut: [0, nearEdge) fixed, [nearEdge, farEdge) tiled,
// [farEdge, end) fixed.
struct CBandSplit {
    int nearEdge = 0, farEdge = 0;
    bool operator==(const CBandSplit&) const = default;
};

CBandSplit SplitBand(int nearFixed, int farFixed, int imageLength);

// One copy along a band: `length` pixels of the image from srcStart to dest.
struct CBandCopy {
    int dest, srcStart, length;
    bool operator==(const CBandCopy&) const = default;
};

// The copies that draw a band of `length` pixels starting at `start`: the
// near part, the middle tiled and cut at the end, then the far part ending at
// start + length. `dropLastPixel` leaves out the image's last pixel (the
// horizontal bands never draw it). Copies of no length are left out.
std::vector<CBandCopy> BandCopies(int start, int length, CBandSplit split, int imageLength,
                                  bool dropLastPixel);

// Caption-button rectangle as the theme gives it (relative to the right edge)
// and as it lies in a window of the given width.
CPixelRect CaptionButtonThemeRect(int xCoord, int yCoord, int imageWidth, int imageHeight, int imageCount);
CPixelRect CaptionButtonWindowRect(const CPixelRect& themeRect, int windowWidth);

// State image of a caption button: 1 pressed, 2 hover, 0 normal.
int CaptionButtonStateIndex(int hit, int pressedHit, int hoverHit);
// Image index of the maximize button: its state with a maximize box, the
// disabled look with only a minimize box, -1 (not drawn) with neither.
int MaxButtonImageIndex(bool hasMaxBox, bool hasMinBox, int stateIndex, int imageCount);

struct CFrameHitInput {
    int width = 0, height = 0;
    CFrameBands bands;
    // Caption buttons in window coordinates; a button without image is absent.
    bool hasClose = false, hasMin = false, hasMax = false;
    CPixelRect close{}, min{}, max{};
    bool hasMinBox = false, hasMaxBox = false, sizable = false;
    int windowState = kStateNormal;
    int smallIconWidth = 0, smallIconHeight = 0;
};

// Hit code of a point relative to the window's top-left corner.
int FrameHitTest(const CFrameHitInput& frame, int x, int y);

// Box of the title text.
CPixelRect TitleTextBox(int textShift, int textShiftVert, int windowWidth, int topImageWidth, int topFar,
                        int bandTop);
