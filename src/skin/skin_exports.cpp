#include "skin/skin.h"

// Placeholder exports until the theme drawing lands: nothing is skinned.
int InitSkin(const char*) { return 0; }
int InstallDlgSkin(CWindow*) { return 0; }
int InstallCtlSkin(HWND, int) { return 0; }
int UnstallCtlSkin(HWND) { return 0; }
void ReleaseSkin() {}
