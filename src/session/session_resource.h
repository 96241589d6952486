// Resource ids of the web view, shared with the program's resource script:
// keep this file to plain #defines.
#pragma once

// The program's icon, also the login dialog's and the updater's.
#define IDR_MAINFRAME 132

// The main window and its web view.
#define IDD_MAIN 102
#define IDC_MAIN_VIEW 103

// The about box and its system-menu item.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101

#define IDC_STATIC -1

// The page's context menu: one popup with the three edit commands.
#define IDR_PAGE_MENU 133
#define ID_PAGE_CUT 32774
#define ID_PAGE_COPY 32775
#define ID_PAGE_PASTE 32776
