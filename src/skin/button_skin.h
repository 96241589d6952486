#pragma once
// The push-button skin of section "Buttons", shared by every skinned button.
#include "skin/my_bitmap.h"

#include <string>

struct ButtonSkin {
    CMyBitmap bitmap; // five state images side by side
    int topHeight = 0;
    int leftWidth = 0;
    int rightWidth = 0;
    int bottomHeight = 0;
    bool loaded = false;
};

// Reloads the skin from the theme; false leaves it unloaded.
bool LoadButtonSkin(ButtonSkin& skin, const std::string& themePath);
