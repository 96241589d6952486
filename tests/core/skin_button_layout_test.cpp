#include "skin/core/button_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(ButtonLayout, StateImageTable) {
    const struct {
        bool enabled, hover, pressed, focused;
        int image;
    } cases[] = {
        {false, true, true, true, kButtonDisabled}, {true, true, true, false, kButtonPressed},
        {true, true, false, true, kButtonHover},    {true, false, false, true, kButtonFocused},
        {true, false, true, true, kButtonFocused}, // pressed and dragged off
        {true, false, true, false, kButtonNormal},  {true, false, false, false, kButtonNormal},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ButtonStateImage(c.enabled, c.hover, c.pressed, c.focused), c.image)
            << c.enabled << c.hover << c.pressed << c.focused;
    }
}

TEST(ButtonLayout, StateSourcesSplitAnUnevenStrip) {
    const CPixelRect expected[] = {
        {0, 0, 20, 24}, {20, 0, 41, 24}, {41, 0, 61, 24}, {61, 0, 82, 24}, {82, 0, 103, 24}};
    for (int i = 0; i < kButtonImageCount; ++i) {
        EXPECT_EQ(ButtonStateSource(i, 103, 24), expected[i]) << i;
    }
}

TEST(ButtonLayout, NineGridCornersFirstThenStretchedParts) {
    const auto copies = NineGridCopies({20, 0, 40, 24}, 100, 30, {3, 4, 5, 6});
    const std::vector<CStretchCopy> expected = {
        {{20, 0, 25, 3}, {0, 0, 5, 3}},     {{34, 0, 40, 3}, {94, 0, 100, 3}},
        {{20, 20, 25, 24}, {0, 26, 5, 30}}, {{34, 20, 40, 24}, {94, 26, 100, 30}},
        {{25, 0, 34, 3}, {5, 0, 94, 3}},    {{25, 20, 34, 24}, {5, 26, 94, 30}},
        {{20, 3, 25, 20}, {0, 3, 5, 26}},   {{34, 3, 40, 20}, {94, 3, 100, 26}},
        {{25, 3, 34, 20}, {5, 3, 94, 26}},
    };
    EXPECT_EQ(copies, expected);
}

} // namespace
