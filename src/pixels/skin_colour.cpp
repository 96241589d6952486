#include "pixels/skin_colour.h"

#include <algorithm>
#include <cmath>

namespace {

// Keeps values that are whole numbers mathematically from truncating one
// below after floating-point rounding.
constexpr double kTruncationSlack = 1e-11;

int ScaleUnit(double v) {
    const int scaled = static_cast<int>(std::floor(v * 255.0 + kTruncationSlack));
    return std::clamp(scaled, 0, 255);
}

double HueValue(double m1, double m2, double degrees) {
    while (degrees > 360.0) {
        degrees -= 360.0;
    }
    while (degrees < 0.0) {
        degrees += 360.0;
    }
    if (degrees < 60.0) {
        return m1 + (m2 - m1) * degrees / 60.0;
    }
    if (degrees < 180.0) {
        return m2;
    }
    if (degrees < 240.0) {
        return m1 + (m2 - m1) * (240.0 - degrees) / 60.0;
    }
    return m1;
}

} // namespace

SkinHls RgbToHls(SkinColour colour) {
    const int r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
    const int hi = std::max({r, g, b});
    const int lo = std::min({r, g, b});
    const int lightness = (hi + lo) / 2; // (hi + lo) / 510 scaled by 255
    if (hi == lo) {
        return MakeHls(0, lightness, 0);
    }
    const int range = hi - lo;
    // Exact rational arithmetic, truncated once at the end.
    const int satDenominator = (hi + lo <= 255) ? (hi + lo) : (510 - hi - lo);
    const int saturation = 255 * range / satDenominator;

    // Hue in degrees is 60 * (sector + numerator / range); blue wins ties
    // over green, green over red.
    int sector = 0, numerator = 0;
    if (b == hi) {
        sector = 4;
        numerator = (hi - g) - (hi - r);
    } else if (g == hi) {
        sector = 2;
        numerator = (hi - r) - (hi - b);
    } else {
        sector = 6;
        numerator = (hi - b) - (hi - g);
    }
    int sixtieths = sector * range + numerator; // hue * range / 60
    if (sixtieths > 6 * range) {
        sixtieths -= 6 * range;
    }
    const int hue = sixtieths * 255 / (6 * range);
    return MakeHls(hue, lightness, saturation);
}

SkinColour HlsToRgb(SkinHls hls) {
    const int lightByte = LightnessOf(hls);
    const int satByte = SaturationOf(hls);
    if (satByte == 0) {
        return MakeSkinColour(lightByte, lightByte, lightByte);
    }
    const double h = HueOf(hls) * 360.0 / 255.0;
    const double l = lightByte / 255.0;
    const double s = satByte / 255.0;
    // Written as l + s * (1 - l) so that full lightness gives exactly 1.
    const double m2 = (l <= 0.5) ? l * (1.0 + s) : l + s * (1.0 - l);
    const double m1 = 2.0 * l - m2;
    return MakeSkinColour(ScaleUnit(HueValue(m1, m2, h + 120.0)), ScaleUnit(HueValue(m1, m2, h)),
                          ScaleUnit(HueValue(m1, m2, h - 120.0)));
}

SkinColour AdjustColour(SkinColour colour, int lightnessPercent, int saturationPercent) {
    const SkinHls hls = RgbToHls(colour);
    int lightness = LightnessOf(hls);
    int saturation = SaturationOf(hls);
    if (lightnessPercent > 0) {
        lightness += (255 - lightness) * lightnessPercent / 100;
    } else if (lightnessPercent < 0) {
        lightness = lightness * (lightnessPercent + 100) / 100;
    }
    if (saturationPercent < 0) {
        saturation = saturation * (saturationPercent + 100) / 100;
    }
    lightness = std::clamp(lightness, 0, 255);
    saturation = std::clamp(saturation, 0, 255);
    return HlsToRgb(MakeHls(HueOf(hls), lightness, saturation));
}
