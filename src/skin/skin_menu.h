#pragma once
// Popup menus of skinned windows, drawn flat from the theme's "Menu" colours:
// items are made owner-drawn just before their menu opens, and their texts
// are kept here since owner-drawn items no longer report them.
#include <windows.h>

#include <string>

// Property that marks a window whose popup menus are skinned.
extern const char kSkinMenuProperty[];

// Reads section "Menu" of the theme; only the first call in the process does.
void LoadMenuSettings(const std::string& themePath);
// On WM_INITMENUPOPUP, after the owner's own handling.
void PrepareMenu(HMENU menu, HWND owner);
// On WM_MEASUREITEM of a menu item.
void MeasureMenuItem(MEASUREITEMSTRUCT& item);
// On WM_DRAWITEM; false when the item is not a menu item.
bool DrawMenuItem(const DRAWITEMSTRUCT& item);
