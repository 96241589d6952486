#include "skin/skin.h"

#include "skin/skin_registry.h"

// Nothing unwinds across the library's boundary: a failure is a 0 result.

int InitSkin(const char* themePath) {
    try {
        return SkinRegistry().InitSkin(themePath);
    } catch (...) {
        return 0;
    }
}

int InstallDlgSkin(CWindow* dialog) {
    try {
        return SkinRegistry().InstallDlgSkin(dialog);
    } catch (...) {
        return 0;
    }
}

int InstallCtlSkin(HWND dialog, int controlId) {
    try {
        return SkinRegistry().InstallCtlSkin(dialog, controlId);
    } catch (...) {
        return 0;
    }
}

int UnstallCtlSkin(HWND dialog) {
    try {
        return SkinRegistry().UnstallCtlSkin(dialog);
    } catch (...) {
        return 0;
    }
}

void ReleaseSkin() {
    try {
        SkinRegistry().ReleaseSkin();
    } catch (...) {
    }
}
