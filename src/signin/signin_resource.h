// The sign-in windows' resource numbers and control ids, shared by signin.rc and the code.
#pragma once

// The program's icon: the login dialog's, the about box's and the updater's.
#define IDR_MAINFRAME 132

#define IDD_LOGIN 129
#define IDD_LOGINSET 130
#define IDD_WAIT 135

// Login dialog
#define IDC_LOGIN_MINIMIZE 1000
#define IDC_LOGIN_CLOSE 1001
#define IDC_LOGIN_OK 1003
#define IDC_LOGIN_AD 1004
#define IDC_LOGIN_SETTINGS 1005
#define IDC_LOGIN_NUMBER 1007
#define IDC_LOGIN_PASSWORD 1008
#define IDC_LOGIN_AUTO 1009
#define IDC_LOGIN_UPDATE 1015

// Login settings window
#define IDC_SET_APPSERVER 1005
#define IDC_SET_PASSWORD_LINK 1006
#define IDC_SET_UPDSERVER 1007

// Wait window
#define IDC_WAIT_ANIMATION 1010

#define IDC_STATIC -1
