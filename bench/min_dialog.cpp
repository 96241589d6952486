// The floor of the start-up and memory figures: a Win32 program that shows
// one dialog from its resources and does nothing else.
#include <windows.h>

// Built once more with the login dialog's template (min_dialog_login.rc).
#ifdef BENCH_LOGIN_DIALOG
#include "signin_resource.h"
#define BENCH_DIALOG IDD_LOGIN
#else
#define BENCH_DIALOG 100
#endif

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return static_cast<int>(
        DialogBoxParamW(instance, MAKEINTRESOURCEW(BENCH_DIALOG), nullptr, DialogProc, 0));
}
