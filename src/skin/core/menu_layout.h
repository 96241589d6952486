#pragma once
// Sizes and colours of the skinned popup menu, apart from any device: item
// data packing, label/accelerator splitting and the gradient strips.
#include "pixels/skin_colour.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Menu settings of the theme's "Menu" section that shape the layout.
struct CMenuPadding {
    int imgPadding = 6;
    int textPadding = 8;
    int menubarTextPadding = 4;
};

// Images of the image column are this wide; the separator starts past one.
constexpr int kMenuImageSize = 16;

// Image column: 16-pixel images with padding on both sides.
int MenuImageColumnWidth(const CMenuPadding& padding);

struct CMenuItemHeights {
    int item, separator;
    bool operator==(const CMenuItemHeights&) const = default;
};
CMenuItemHeights MenuItemHeights(int textHeight);

// Item data of a prepared item: bits 0-7 height, 8-15 the widest
// accelerator (wraps above 255), 16-31 the widest label.
std::uint32_t PackMenuItemData(int itemHeight, int accelWidth, int labelWidth);

struct CMenuItemSize {
    int width, height;
    bool operator==(const CMenuItemSize&) const = default;
};
CMenuItemSize MeasureMenuItemData(std::uint32_t itemData, const CMenuPadding& padding);

struct CMenuText {
    std::string label, accelerator;
    bool operator==(const CMenuText&) const = default;
};
// Label before the first tab, accelerator behind it.
CMenuText SplitMenuText(std::string_view text);
// The label as measured: its first "&" removed.
std::string LabelForMeasure(std::string_view label);

// One vertical strip of a horizontal gradient, [left, right).
struct CGradientStrip {
    int left, right;
    SkinColour colour;
    bool operator==(const CGradientStrip&) const = default;
};
// Strips from start colour (left) to end colour (right), one per step of
// the largest component difference; empty strips are left out.
std::vector<CGradientStrip> GradientStrips(int left, int right, SkinColour start, SkinColour end);
