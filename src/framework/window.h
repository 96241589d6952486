#pragma once
// Built into the Unicode program and the ANSI skin library alike: call the W
// functions by name, and name no member after an A/W macro.
#include <windows.h>

// Base of every window object: holds the HWND it is bound to (owning nothing
// else) and routes the window's messages to typed virtual handlers.
// Each module keeps its own handle-to-object map (touched by the UI thread
// only), so a DLL that links this library sees only its own objects.
class CWindow {
protected:
    // First data member, right after the vtable pointer: Skin.dll reads the handle from this place.
    HWND m_hWnd = nullptr;

public:
    CWindow() = default;
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;
    // Releases a window still attached or subclassed; the window lives on.
    virtual ~CWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The object this module bound to hwnd, or null.
    static CWindow* FromHandle(HWND hwnd);

    // Binds the object to an existing window without taking its messages: the
    // parent still reflects the control's notifications to it, and the window's
    // end unbinds it.
    bool Attach(HWND hwnd);
    // Binds the object to an existing window and routes its messages here.
    bool Subclass(HWND hwnd);
    bool SubclassDlgItem(int id, HWND parent);
    // Ends Attach or Subclass and returns the window, which lives on.
    HWND Detach();

    // Sees a queued message before it is translated and dispatched; true means consumed.
    virtual bool PreTranslateMessage(MSG& msg);
    // Offers msg to the objects of its window and of that window's parents up
    // to the top-level window, innermost first; true when one consumed it.
    static bool PreTranslateTree(MSG& msg);

protected:
    // Runs right after Attach or Subclass has bound the window: controls adjust
    // their window (styles, helper windows) here.
    virtual void PreSubclassWindow();

    // The one switch: typed handlers first, DefaultProc for what they leave.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Typed handlers: true (or a brush) when handled, false (or null) for the default processing.
    virtual bool OnCommand(int id, int code, HWND control);
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
    virtual bool OnDrawItem(int id, const DRAWITEMSTRUCT& item);
    // What the parent reflects to the child's own object before its own handlers run.
    virtual bool OnReflectedCommand(int code);
    virtual HBRUSH OnReflectedCtlColor(HDC dc, UINT message);
    virtual bool OnReflectedDrawItem(const DRAWITEMSTRUCT& item);
    virtual bool OnPaint();
    virtual bool OnEraseBkgnd(HDC dc);
    virtual bool OnTimer(UINT_PTR id);
    virtual bool OnSize(UINT type, int cx, int cy);
    virtual bool OnMouseMove(UINT flags, POINT point);
    virtual bool OnLButtonDown(UINT flags, POINT point);
    virtual bool OnLButtonUp(UINT flags, POINT point);
    virtual bool OnMouseLeave();
    virtual bool OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage);
    virtual bool OnClose();
    // Notification only: the default processing always follows.
    virtual void OnDestroy();

    // Registers the object for hwnd; false when either is bound already.
    bool BindHandle(HWND hwnd);
    // The window's last message: unbinds the object and ends the loop if it was the main window.
    void OnFinalMessage();

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);
    bool Hook(HWND hwnd, bool routeMessages);
    void UnbindHandle();

    // Attach and Subclass put a comctl32 subclass on the window, which stays
    // chain-safe among other modules' comctl32 subclasses of the same window.
    bool m_subclassed = false;
    bool m_routesMessages = false;
};
