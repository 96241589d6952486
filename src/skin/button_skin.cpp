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
    CThemeFile theme(themePath);
    if (!theme.Image(kSection, "Bitmap", skin.bitmap)) {
        return false;
    }
    skin.topHeight = theme.Int(kSection, "TopHeight", 0);
    skin.bottomHeight = theme.Int(kSection, "BottomHeight", 0);
    skin.leftWidth = theme.Int(kSection, "LeftWidth", 0);
    skin.rightWidth = theme.Int(kSection, "RightWidth", 0);
    // "Trans" is part of the format but the buttons' key colour is fixed.
    skin.loaded = true;
    return true;
}
