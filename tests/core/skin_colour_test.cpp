#include "pixels/skin_colour.h"

#include <gtest/gtest.h>

namespace {

TEST(SkinColour, RgbToHlsTable) {
    const struct {
        int r, g, b;
        int hue, lightness, saturation;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},
        {255, 255, 255, 0, 255, 0},
        {128, 128, 128, 0, 128, 0},
        {255, 0, 0, 255, 127, 255},     // red is 360 degrees, not 0
        {0, 255, 0, 85, 127, 255},      // 120 degrees
        {0, 0, 255, 170, 127, 255},     // 240 degrees
        {255, 255, 0, 42, 127, 255},    // red/green tie goes to green: 60 degrees
        {255, 0, 255, 212, 127, 255},   // red/blue tie goes to blue: 300 degrees
        {0, 255, 255, 127, 127, 255},   // green/blue tie goes to blue: 180 degrees
        {255, 51, 0, 8, 127, 255},      // above 360 wraps to 12 degrees
        {200, 100, 50, 14, 125, 153},   // lightness below one half
        {255, 200, 200, 255, 227, 255}, // lightness above one half
        {1, 0, 1, 212, 0, 255},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RgbToHls(MakeSkinColour(c.r, c.g, c.b)), MakeHls(c.hue, c.lightness, c.saturation))
            << c.r << "," << c.g << "," << c.b;
    }
}

TEST(SkinColour, HlsToRgbTable) {
    const struct {
        int hue, lightness, saturation;
        int r, g, b;
    } cases[] = {
        {0, 0, 0, 0, 0, 0},           {123, 77, 0, 77, 77, 77}, // no saturation: grey at the lightness
        {0, 127, 255, 254, 0, 0},                               // hue 0 is red
        {255, 127, 255, 254, 0, 0},                             // and so is 360 degrees
        {85, 127, 255, 0, 254, 0},    {170, 127, 255, 0, 0, 254},
        {0, 255, 200, 255, 255, 255}, {99, 0, 200, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HlsToRgb(MakeHls(c.hue, c.lightness, c.saturation)), MakeSkinColour(c.r, c.g, c.b))
            << c.hue << "," << c.lightness << "," << c.saturation;
    }
}

TEST(SkinColour, AdjustTable) {
    const SkinColour white = MakeSkinColour(255, 255, 255), black = MakeSkinColour(0, 0, 0);
    const struct {
        SkinColour in;
        int lightness, saturation;
        SkinColour out;
    } cases[] = {
        {MakeSkinColour(128, 128, 128), 50, 0, MakeSkinColour(191, 191, 191)},
        {MakeSkinColour(128, 128, 128), -50, 0, MakeSkinColour(64, 64, 64)},
        {MakeSkinColour(255, 0, 0), 0, -100, MakeSkinColour(127, 127, 127)},
        {MakeSkinColour(255, 0, 0), 0, 100, MakeSkinColour(254, 0, 0)}, // positive saturation: no change
        {MakeSkinColour(0, 0, 255), 0, 0, MakeSkinColour(0, 0, 254)},
        // The extremes are exact whatever the colour.
        {MakeSkinColour(10, 36, 106), 100, -57, white},
        {MakeSkinColour(212, 208, 200), 100, 0, white},
        {MakeSkinColour(1, 2, 3), 100, 0, white},
        {MakeSkinColour(255, 0, 255), -100, 0, black},
        {white, -100, 0, black},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdjustColour(c.in, c.lightness, c.saturation), c.out)
            << std::hex << c.in << std::dec << " " << c.lightness << " " << c.saturation;
    }
}

} // namespace
