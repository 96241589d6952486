#pragma once
// Puts message handlers in front of a window's procedure without disturbing
// it. Several handlers may sit on one window: the newest sees a message
// first, the oldest passes it to the procedure the window had before.
#include <windows.h>

class CWindow;
class CSubclassWndMap;

class CSubclassWnd {
public:
    CSubclassWnd() = default;
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;
    // Uninstalls.
    virtual ~CSubclassWnd();

    // Installs on the object's window; a null object uninstalls. Always 1.
    int Install(CWindow* window);
    // Installs on hwnd; a null handle uninstalls. Always 1.
    int Install(HWND window);
    void Uninstall() { Install(static_cast<HWND>(nullptr)); }
    bool IsInstalled() const { return m_hwnd != nullptr; }
    HWND GetHwnd() const { return m_hwnd; }

    // Passes the message on: to the next handler, or to the former procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes on the message being dispatched on this thread, as WindowProc would.
    LRESULT Default();

private:
    friend LRESULT CALLBACK SubclassSharedProc(HWND, UINT, WPARAM, LPARAM);
    void LeaveWindow(CSubclassWndMap& map);

    HWND m_hwnd = nullptr;            // borrowed
    WNDPROC m_previousProc = nullptr; // the window's procedure before the first handler
    CSubclassWnd* m_next = nullptr;   // the handler installed before this one
};

// The one window procedure of every subclassed window.
LRESULT CALLBACK SubclassSharedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
