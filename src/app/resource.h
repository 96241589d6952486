// The program's own resource numbers and control ids, shared by velmarin.rc and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDR_MAINFRAME 132

#define IDC_STATIC -1

#define VELMARIN_VERSION_MAJOR 1
#define VELMARIN_VERSION_MINOR 0
#define VELMARIN_VERSION_PATCH 0
#define VELMARIN_VERSION_BUILD 1
#define VELMARIN_VERSION_TEXT "1.0.0.1"
