#pragma once
// Colour references (red in the low byte, then green, then blue) and the
// hue/lightness/saturation conversions the menus use to tint system colours.
#include <cstdint>

using SkinColour = std::uint32_t;

constexpr SkinColour MakeSkinColour(int red, int green, int blue) {
    return static_cast<SkinColour>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int RedOf(SkinColour c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GreenOf(SkinColour c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BlueOf(SkinColour c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// HLS values: hue in the low byte, lightness in the second, saturation in
// the third, each scaled to 0..255 (hue 255 stands for 360 degrees).
using SkinHls = std::uint32_t;

constexpr SkinHls MakeHls(int hue, int lightness, int saturation) {
    return static_cast<SkinHls>((hue & 0xFF) | ((lightness & 0xFF) << 8) | ((saturation & 0xFF) << 16));
}
constexpr int HueOf(SkinHls v) {
    return static_cast<int>(v & 0xFF);
}
constexpr int LightnessOf(SkinHls v) {
    return static_cast<int>((v >> 8) & 0xFF);
}
constexpr int SaturationOf(SkinHls v) {
    return static_cast<int>((v >> 16) & 0xFF);
}

SkinHls RgbToHls(SkinColour colour);
SkinColour HlsToRgb(SkinHls hls);
// Positive lightness percentages move towards white, negative ones scale
// towards black; only negative saturation percentages have an effect.
SkinColour AdjustColour(SkinColour colour, int lightnessPercent, int saturationPercent);
