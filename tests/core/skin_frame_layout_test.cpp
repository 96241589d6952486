#include "skin/core/frame_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FrameLayout, SplitBandTable) {
    const struct {
        int nearFixed, farFixed, length;
        CBandSplit split;
    } cases[] = {
        {10, 10, 100, {10, 90}}, {0, 0, 100, {0, 100}}, {60, 50, 100, {60, 61}},
        {50, 50, 100, {50, 51}}, {0, 100, 100, {0, 1}}, {120, 0, 100, {120, 121}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitBand(c.nearFixed, c.farFixed, c.length), c.split)
            << c.nearFixed << " " << c.farFixed << " " << c.length;
    }
}

// "dest,srcStart,length" per copy.
std::string Describe(const std::vector<CBandCopy>& copies) {
    std::string text;
    for (const CBandCopy& c : copies) {
        text +=
            std::to_string(c.dest) + "," + std::to_string(c.srcStart) + "," + std::to_string(c.length) + " ";
    }
    return text;
}

TEST(FrameLayout, BandCopiesTable) {
    const struct {
        const char* name;
        int start, length, nearEdge, farEdge, imageLength;
        bool dropLast;
        const char* copies;
    } cases[] = {
        {"vertical", 5, 30, 4, 8, 12, false, "5,0,4 9,4,4 13,4,4 17,4,4 21,4,4 25,4,4 29,4,4 33,4,2 31,8,4 "},
        {"horizontal drops the last pixel", 0, 10, 2, 5, 9, true, "0,0,2 2,2,3 5,2,3 8,2,2 7,5,3 "},
        // Pieces of no length are left out.
        {"no fixed parts", 0, 5, 0, 3, 3, false, "0,0,3 3,0,2 "},
        {"far edge at the end, horizontal", 0, 4, 1, 3, 3, true, "0,0,1 1,1,2 3,1,1 "},
        {"shorter than the near part", 0, 2, 4, 8, 12, false, "0,0,4 -2,8,4 "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(BandCopies(c.start, c.length, {c.nearEdge, c.farEdge}, c.imageLength, c.dropLast)),
                  c.copies)
            << c.name;
    }
}

TEST(FrameLayout, CaptionButtons) {
    // XCoord is the distance from the right edge to the button's left edge.
    const CPixelRect theme = CaptionButtonThemeRect(20, 5, 64, 14, 4);
    EXPECT_EQ(theme, (CPixelRect{4, 5, 20, 19}));
    EXPECT_EQ(CaptionButtonWindowRect(theme, 200), (CPixelRect{180, 5, 196, 19}));
    EXPECT_EQ(CaptionButtonThemeRect(30, 2, 90, 10, 3), (CPixelRect{0, 2, 30, 12}));
    EXPECT_EQ(CaptionButtonThemeRect(14, 1, 40, 8, 0), (CPixelRect{-26, 1, 14, 9})) << "no states: one image";

    EXPECT_EQ(CaptionButtonStateIndex(kHitClose, kHitClose, kHitClose), 1);
    EXPECT_EQ(CaptionButtonStateIndex(kHitClose, 0, kHitClose), 2);
    EXPECT_EQ(CaptionButtonStateIndex(kHitClose, kHitMinButton, kHitMaxButton), 0);
    const struct {
        bool maxBox, minBox;
        int state, count, index;
    } cases[] = {
        {true, true, 2, 4, 2},  {true, false, 1, 4, 1},   {false, true, 2, 4, 3},
        {false, true, 0, 3, 2}, {false, false, 1, 4, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MaxButtonImageIndex(c.maxBox, c.minBox, c.state, c.count), c.index);
    }
}

CFrameHitInput SampleFrame() {
    CFrameHitInput f;
    f.width = 200;
    f.height = 150;
    f.bands = {30, 4, 5, 6};
    f.hasClose = f.hasMin = f.hasMax = true;
    f.close = {180, 5, 196, 19};
    f.max = {165, 5, 181, 19}; // overlaps the close button by one column
    f.min = {150, 5, 166, 19};
    f.hasMinBox = f.hasMaxBox = f.sizable = true;
    f.smallIconWidth = f.smallIconHeight = 16;
    return f;
}

TEST(FrameLayout, HitTestRowByRow) {
    const struct {
        int x, y, hit;
    } cases[] = {
        {185, 10, kHitClose},     {180, 10, kHitClose}, // close wins over maximize
        {155, 10, kHitMinButton}, {165, 10, kHitMinButton},    {170, 10, kHitMaxButton},
        {6, 10, kHitSysMenu},     {4, 5, kHitSysMenu},         {1, 1, kHitTopLeft},
        {198, 1, kHitTopRight},   {196, 10, kHitTopRight}, // right of the close button
        {1, 148, kHitBottomLeft}, {198, 148, kHitBottomRight}, {1, 50, kHitLeft},
        {197, 50, kHitRight},     {100, 147, kHitBottom},      {100, 2, kHitTop},
        {100, 5, kHitTop},        {100, 6, kHitCaption}, // the top strip is as thick as the bottom band
        {100, 29, kHitCaption},   {100, 30, kHitClient},       {100, 80, kHitClient},
    };
    const CFrameHitInput f = SampleFrame();
    for (const auto& c : cases) {
        EXPECT_EQ(FrameHitTest(f, c.x, c.y), c.hit) << c.x << "," << c.y;
    }
}

TEST(FrameLayout, HitTestConditions) {
    using Change = void (*)(CFrameHitInput&);
    const Change fixed = [](CFrameHitInput& f) { f.sizable = false; };
    const Change maximized = [](CFrameHitInput& f) { f.windowState = kStateMaximized; };
    const Change minimized = [](CFrameHitInput& f) { f.windowState = kStateMinimized; };
    const Change noMinBox = [](CFrameHitInput& f) { f.hasMinBox = false; };
    const Change noMinImage = [](CFrameHitInput& f) { f.hasMin = false; };
    const Change noMaxBox = [](CFrameHitInput& f) { f.hasMaxBox = false; };
    const Change noClose = [](CFrameHitInput& f) { f.hasClose = false; };
    const Change noIcon = [](CFrameHitInput& f) { f.smallIconWidth = 0; };
    const struct {
        const char* name;
        Change change;
        int x, y, hit;
    } cases[] = {
        {"fixed: no side", fixed, 1, 50, kHitClient},
        {"fixed: no corner", fixed, 1, 1, kHitClient},
        {"fixed: no top", fixed, 100, 2, kHitClient},
        {"fixed: caption", fixed, 100, 5, kHitCaption},
        {"maximized: no sizing", maximized, 198, 148, kHitClient},
        {"maximized: caption", maximized, 100, 20, kHitCaption},
        {"minimized still sizes", minimized, 1, 50, kHitLeft},
        {"no minimize box", noMinBox, 155, 10, kHitCaption},
        {"no minimize image", noMinImage, 155, 10, kHitCaption},
        {"no maximize box", noMaxBox, 170, 10, kHitCaption},
        {"no close image", noClose, 185, 10, kHitCaption},
        {"zero-size icon area", noIcon, 6, 10, kHitCaption},
    };
    for (const auto& c : cases) {
        CFrameHitInput f = SampleFrame();
        c.change(f);
        EXPECT_EQ(FrameHitTest(f, c.x, c.y), c.hit) << c.name;
    }
}

} // namespace
