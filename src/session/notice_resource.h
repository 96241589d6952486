// Resource ids of the notice popup and the tray icon, shared with the
// program's resource script: keep this file to plain #defines.
#pragma once

// The notice popup near the notification area.
#define IDD_TIP 136
#define IDC_TIP_CLOSE 1011
#define IDC_TIP_TEXT 1013
#define IDC_TIP_PICTURE 1014

// The tray icon's menu; the icon's identifier is the same number.
#define IDR_TRAY_MENU 134
#define ID_TRAY_SHOW 32781
#define ID_TRAY_SETTINGS 32782
#define ID_TRAY_EXIT 32783
#define ID_TRAY_ABOUT 32784
