#include "skin/button_skin.h"

#include "skin/theme_reader.h"

namespace {
constexpr char kSection[] = "Buttons";
}

bool LoadButtonSkin(ButtonSkin& skin, const std::string& themePath) {
    if (skin.loaded) {
        skin.bitmap.DeleteObject();
        skin.loaded = false;
    }
    if (!LoadThemeImage(kSection, "Bitmap", themePath, skin.bitmap)) {
        return false;
    }
    skin.topHeight = ReadProfileInt(kSection, "TopHeight", 0, themePath);
    skin.bottomHeight = ReadProfileInt(kSection, "BottomHeight", 0, themePath);
    skin.leftWidth = ReadProfileInt(kSection, "LeftWidth", 0, themePath);
    skin.rightWidth = ReadProfileInt(kSection, "RightWidth", 0, themePath);
    // "Trans" is part of the format but the buttons' key colour is fixed.
    skin.loaded = true;
    return true;
}
