#include "skin/skin.h"

#include "skin/skin_state.h"

// Nothing unwinds across the library's boundary: a failure is a 0 result.

int InitSkin(const char* themePath) {
    try {
        return SkinState().InitSkin(themePath);
    } catch (...) {
        return 0;
    }
}

int InstallDlgSkin(CWindow* dialog) {
    try {
        return SkinState().InstallDlgSkin(dialog);
    } catch (...) {
        return 0;
    }
}

int InstallCtlSkin(HWND dialog, int controlId) {
    try {
        return SkinState().InstallCtlSkin(dialog, controlId);
    } catch (...) {
        return 0;
    }
}

int UnstallCtlSkin(HWND dialog) {
    try {
        return SkinState().UnstallCtlSkin(dialog);
    } catch (...) {
        return 0;
    }
}

void ReleaseSkin() {
    try {
        SkinState().ReleaseSkin();
    } catch (...) {
    }
}
