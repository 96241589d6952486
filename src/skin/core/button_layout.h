#pragma once
// Geometry of the skinned push button: which part of the five-state strip
// to show and how it is stretched over the control as a nine-grid.
#include "pixels/key_colour_runs.h"

#include <vector>

enum ButtonImage : int {
    kButtonNormal = 0,
    kButtonHover = 1,
    kButtonPressed = 2,
    kButtonFocused = 3,
    kButtonDisabled = 4,
    kButtonImageCount = 5,
};

int ButtonStateImage(bool enabled, bool hover, bool pressed, bool focused);
// Source rectangle of state image `index` in a strip of the given size.
CPixelRect ButtonStateSource(int index, int stripWidth, int stripHeight);

struct CNineGridBorders {
    int top = 0, bottom = 0, left = 0, right = 0;
};

struct CStretchCopy {
    CPixelRect source, dest;
    bool operator==(const CStretchCopy&) const = default;
};

// Four unscaled corners, then the stretched top, bottom, left and right
// edges and the centre.
std::vector<CStretchCopy> NineGridCopies(const CPixelRect& source, int destWidth, int destHeight,
                                         const CNineGridBorders& borders);
