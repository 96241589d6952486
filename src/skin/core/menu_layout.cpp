#include "skin/core/menu_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kMinTextRowHeight = 16;
// Fixed room of every item besides padding and text: the gap between the
// image column and the label, and the accelerator's right margin.
constexpr int kItemExtraWidth = 20;

} // namespace

int MenuImageColumnWidth(const CMenuPadding& padding) {
    return 2 * padding.imgPadding + kMenuImageSize;
}

CMenuItemHeights MenuItemHeights(int textHeight) {
    return {std::max(textHeight + 2, kMinTextRowHeight) + 4, textHeight / 2 + 2};
}

std::uint32_t PackMenuItemData(int itemHeight, int accelWidth, int labelWidth) {
    return (static_cast<std::uint32_t>(itemHeight) & 0xFFu) |
           ((static_cast<std::uint32_t>(accelWidth) & 0xFFu) << 8) |
           ((static_cast<std::uint32_t>(labelWidth) & 0xFFFFu) << 16);
}

CMenuItemSize MeasureMenuItemData(std::uint32_t itemData, const CMenuPadding& padding) {
    const int height = static_cast<int>(itemData & 0xFFu);
    const int accel = static_cast<int>((itemData >> 8) & 0xFFu);
    const int label = static_cast<int>(itemData >> 16);
    if (height != 0) {
        return {accel + padding.imgPadding + label + 2 * padding.textPadding + kItemExtraWidth, height};
    }
    // Not prepared by us: an owner-drawn item of someone else.
    return {label + padding.menubarTextPadding, height};
}

CMenuText SplitMenuText(std::string_view text) {
    const std::size_t tab = text.find('\t');
    if (tab == std::string_view::npos) {
        return {std::string(text), {}};
    }
    return {std::string(text.substr(0, tab)), std::string(text.substr(tab + 1))};
}

std::string LabelForMeasure(std::string_view label) {
    std::string result(label);
    const std::size_t amp = result.find('&');
    if (amp != std::string::npos) {
        result.erase(amp, 1);
    }
    return result;
}

std::vector<CGradientStrip> GradientStrips(int left, int right, SkinColour start, SkinColour end) {
    const int dr = RedOf(end) - RedOf(start);
    const int dg = GreenOf(end) - GreenOf(start);
    const int db = BlueOf(end) - BlueOf(start);
    const int steps = std::max({std::abs(dr), std::abs(dg), std::abs(db)});
    std::vector<CGradientStrip> strips;
    if (right <= left) {
        return strips;
    }
    if (steps == 0) {
        strips.push_back({left, right, start});
        return strips;
    }
    const double stripWidth = static_cast<double>(right - left) / steps;
    int lastLeft = left, lastRight = left;
    for (int i = 0; i < steps; ++i) {
        const int x0 = left + static_cast<int>(std::floor(i * stripWidth));
        const int x1 = left + static_cast<int>(std::floor((i + 1) * stripWidth));
        lastLeft = x0;
        lastRight = x1;
        if (x1 > x0) {
            strips.push_back({x0, x1,
                              MakeSkinColour(RedOf(start) + dr * i / steps, GreenOf(start) + dg * i / steps,
                                             BlueOf(start) + db * i / steps)});
        }
    }
    if (lastRight < right) {
        if (!strips.empty() && strips.back().left == lastLeft) {
            strips.pop_back();
        }
        strips.push_back({lastLeft, right, end});
    }
    return strips;
}
