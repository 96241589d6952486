#include "skin/core/menu_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MenuLayout, HeightsFromTheFont) {
    const struct {
        int textHeight;
        CMenuItemHeights heights;
    } cases[] = {{12, {20, 8}}, {14, {20, 9}}, {15, {21, 9}}, {20, {26, 12}}, {0, {20, 2}}};
    for (const auto& c : cases) {
        EXPECT_EQ(MenuItemHeights(c.textHeight), c.heights) << c.textHeight;
    }
}

TEST(MenuLayout, PackedItemDataMeasures) {
    const CMenuPadding defaults;
    const CMenuPadding narrow{3, 5, 2};
    const struct {
        const char* name;
        std::uint32_t data;
        CMenuPadding padding;
        CMenuItemSize size;
    } cases[] = {
        {"label and accelerator", PackMenuItemData(20, 30, 100), defaults, {172, 20}}, // label + accel + 42
        {"other paddings", PackMenuItemData(20, 10, 50), narrow, {93, 20}},
        {"accelerator wider than 255 wraps", PackMenuItemData(20, 300, 100), defaults, {186, 20}},
        {"separator", 8, defaults, {42, 8}}, // 2 x textPadding + imgPadding + 20
        {"not prepared here", 0x00640000u, defaults, {104, 0}},
        {"not prepared, other padding", 0x00640000u, narrow, {102, 0}},
        {"height wraps at 256", PackMenuItemData(256 + 20, 0, 0), defaults, {42, 20}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MeasureMenuItemData(c.data, c.padding), c.size) << c.name;
    }
    EXPECT_EQ(PackMenuItemData(20, 30, 100), 0x00641E14u);
}

TEST(MenuLayout, LabelAndAccelerator) {
    const struct {
        const char* text;
        CMenuText split;
        const char* measured;
    } cases[] = {
        {"&Open\tCtrl+O", {"&Open", "Ctrl+O"}, "Open"},
        {"Exit", {"Exit", ""}, "Exit"},
        {"\tF1", {"", "F1"}, ""},
        {"a\tb\tc", {"a", "b\tc"}, "a"},
        {"O&pen && more", {"O&pen && more", ""}, "Open && more"},
        {"a&&b", {"a&&b", ""}, "a&b"},
        {"\xCD\xCB\xB3\xF6(&X)", {"\xCD\xCB\xB3\xF6(&X)", ""}, "\xCD\xCB\xB3\xF6(X)"},
    };
    for (const auto& c : cases) {
        const CMenuText split = SplitMenuText(c.text);
        EXPECT_EQ(split, c.split) << c.text;
        EXPECT_EQ(LabelForMeasure(split.label), c.measured) << c.text;
    }
}

TEST(MenuLayout, GradientStrips) {
    using Strips = std::vector<CGradientStrip>;
    const SkinColour black = MakeSkinColour(0, 0, 0);
    // Five steps over ten pixels: two pixels per step; the end colour itself is never reached.
    const Strips even = {{0, 2, black},
                         {2, 4, MakeSkinColour(1, 0, 0)},
                         {4, 6, MakeSkinColour(2, 0, 0)},
                         {6, 8, MakeSkinColour(3, 0, 0)},
                         {8, 10, MakeSkinColour(4, 0, 0)}};
    EXPECT_EQ(GradientStrips(0, 10, black, MakeSkinColour(5, 0, 0)), even);
    EXPECT_EQ(GradientStrips(4, 9, black, black), (Strips{{4, 9, black}})) << "one colour";
    EXPECT_TRUE(GradientStrips(5, 5, black, MakeSkinColour(9, 9, 9)).empty());
    // More steps than pixels: the last strip of each pixel shows.
    EXPECT_EQ(GradientStrips(0, 3, black, MakeSkinColour(6, 0, 0)),
              (Strips{{0, 1, MakeSkinColour(1, 0, 0)},
                      {1, 2, MakeSkinColour(3, 0, 0)},
                      {2, 3, MakeSkinColour(5, 0, 0)}}));
    // Falling, with the steps counted on the largest difference.
    EXPECT_EQ(GradientStrips(10, 13, MakeSkinColour(9, 3, 0), black),
              (Strips{{10, 11, MakeSkinColour(7, 3, 0)},
                      {11, 12, MakeSkinColour(4, 2, 0)},
                      {12, 13, MakeSkinColour(1, 1, 0)}}));
    // However many steps, the strips cover the rectangle exactly, left to right.
    const SkinColour ends[] = {MakeSkinColour(255, 0, 0), MakeSkinColour(3, 200, 7), MakeSkinColour(0, 0, 1),
                               MakeSkinColour(97, 13, 250)};
    for (int width = 1; width <= 70; ++width) {
        for (SkinColour end : ends) {
            const auto strips = GradientStrips(3, 3 + width, black, end);
            ASSERT_FALSE(strips.empty());
            int x = 3;
            for (const auto& s : strips) {
                ASSERT_EQ(s.left, x) << width;
                ASSERT_GT(s.right, s.left) << width;
                x = s.right;
            }
            EXPECT_EQ(x, 3 + width) << width;
        }
    }
}

} // namespace
