// Resource numbers of clientupdate.exe.
#pragma once

#define IDR_UPDATER_ICON 1
#define IDD_UPDATE 100
#define IDC_UPDATE_STATUS 1001
#define IDC_UPDATE_PROGRESS 1002
#define IDC_UPDATE_BYTES 1003
