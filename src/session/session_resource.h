// Resource ids of the session's windows, shared with session.rc: keep this
// file to plain #defines.
#pragma once

// The main window, which holds the web view.
#define IDD_MAIN 102
#define IDC_MAIN_VIEW 103

// The about box and its system-menu item.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101

#define IDC_STATIC -1
