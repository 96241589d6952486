// Resource numbers and control ids of config.dll, shared by config.rc, the
// dialog and the tests that drive it.
#pragma once

#define IDD_CONFIG 100

#define IDC_CONFIG_SOUND_ON 1001
// Per sound entry: three consecutive ids each, in entry order.
#define IDC_CONFIG_SOUND_NAME1 1002
#define IDC_CONFIG_SOUND_NAME2 1003
#define IDC_CONFIG_SOUND_NAME3 1004
#define IDC_CONFIG_SOUND_PATH1 1005
#define IDC_CONFIG_SOUND_PATH2 1006
#define IDC_CONFIG_SOUND_PATH3 1007
#define IDC_CONFIG_SOUND_BROWSE1 1008
#define IDC_CONFIG_SOUND_BROWSE2 1009
#define IDC_CONFIG_SOUND_BROWSE3 1010

#define IDC_CONFIG_HOTKEY_ON 1011
#define IDC_CONFIG_CTRL 1012
#define IDC_CONFIG_SHIFT 1013
#define IDC_CONFIG_ALT 1014
#define IDC_CONFIG_CODEKEY 1015

#define IDC_CONFIG_AUTOLOGIN 1016

#define IDC_STATIC -1
