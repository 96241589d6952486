#include "skin/subclass_wnd.h"

#include "framework/window.h"

#include <unordered_map>

namespace {

// The message the shared procedure is dispatching on this thread.
struct CCurrentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

thread_local CCurrentMessage t_current;

// Saves the thread's current message, replaces it, and puts it back on every way out.
class CCurrentMessageScope {
public:
    CCurrentMessageScope(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) : m_saved(t_current) {
        t_current = {hwnd, message, wParam, lParam};
    }
    ~CCurrentMessageScope() { t_current = m_saved; }
    CCurrentMessageScope(const CCurrentMessageScope&) = delete;
    CCurrentMessageScope& operator=(const CCurrentMessageScope&) = delete;

private:
    CCurrentMessage m_saved;
};

} // namespace

// Window handle to its first (newest) handler. A window whose procedure could
// not be put back, because someone subclassed it after us, keeps the shared
// procedure as a pass-through to the former one.
class CSubclassWndMap {
public:
    CSubclassWnd* First(HWND hwnd) const {
        auto it = m_first.find(hwnd);
        return it == m_first.end() ? nullptr : it->second;
    }
    void SetFirst(HWND hwnd, CSubclassWnd* handler) { m_first[hwnd] = handler; }
    void Remove(HWND hwnd) { m_first.erase(hwnd); }

    WNDPROC PassThrough(HWND hwnd) const {
        auto it = m_passThrough.find(hwnd);
        return it == m_passThrough.end() ? nullptr : it->second;
    }
    void SetPassThrough(HWND hwnd, WNDPROC proc) { m_passThrough[hwnd] = proc; }
    WNDPROC TakePassThrough(HWND hwnd) {
        auto it = m_passThrough.find(hwnd);
        if (it == m_passThrough.end()) {
            return nullptr;
        }
        WNDPROC proc = it->second;
        m_passThrough.erase(it);
        return proc;
    }

private:
    std::unordered_map<HWND, CSubclassWnd*> m_first;
    std::unordered_map<HWND, WNDPROC> m_passThrough;
};

namespace {

// Created on first use and never destroyed, so that it outlives every
// handler, static ones included; the process's end reclaims it.
CSubclassWndMap& HandlerMap() {
    static CSubclassWndMap* map = new CSubclassWndMap;
    return *map;
}

WNDPROC CurrentProc(HWND hwnd) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

} // namespace

CSubclassWnd::~CSubclassWnd() {
    Uninstall();
}

int CSubclassWnd::Install(CWindow* window) {
    return Install(window ? window->GetSafeHwnd() : nullptr);
}

int CSubclassWnd::Install(HWND window) {
    CSubclassWndMap& map = HandlerMap();
    if (m_hwnd != nullptr) {
        LeaveWindow(map);
    }
    if (window == nullptr) {
        return 1;
    }
    CSubclassWnd* first = map.First(window);
    m_next = first;
    if (first != nullptr) {
        m_previousProc = first->m_previousProc;
    } else if (WNDPROC kept = map.TakePassThrough(window)) {
        m_previousProc = kept; // the shared procedure is still in the window's chain
    } else {
        m_previousProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassSharedProc)));
    }
    map.SetFirst(window, this);
    m_hwnd = window;
    return 1;
}

void CSubclassWnd::LeaveWindow(CSubclassWndMap& map) {
    CSubclassWnd* first = map.First(m_hwnd);
    if (first == this) {
        if (m_next != nullptr) {
            map.SetFirst(m_hwnd, m_next);
        } else {
            map.Remove(m_hwnd);
            if (CurrentProc(m_hwnd) == SubclassSharedProc) {
                SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
            } else if (IsWindow(m_hwnd)) {
                // Someone subclassed the window after us: stay in its chain as a pass-through.
                map.SetPassThrough(m_hwnd, m_previousProc);
            }
        }
    } else {
        for (CSubclassWnd* h = first; h != nullptr; h = h->m_next) {
            if (h->m_next == this) {
                h->m_next = m_next;
                break;
            }
        }
    }
    m_hwnd = nullptr;
    m_previousProc = nullptr;
    m_next = nullptr;
}

LRESULT CSubclassWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_next != nullptr) {
        return m_next->WindowProc(message, wParam, lParam);
    }
    return CallWindowProcA(m_previousProc, m_hwnd, message, wParam, lParam);
}

LRESULT CSubclassWnd::Default() {
    return CSubclassWnd::WindowProc(t_current.message, t_current.wParam, t_current.lParam);
}

LRESULT CALLBACK SubclassSharedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CCurrentMessageScope scope(hwnd, message, wParam, lParam);
    CSubclassWndMap& map = HandlerMap();
    CSubclassWnd* first = map.First(hwnd);
    if (message == WM_NCDESTROY) {
        // Every handler leaves before the former procedure sees the window's last message.
        WNDPROC former = first != nullptr ? first->m_previousProc : map.TakePassThrough(hwnd);
        while ((first = map.First(hwnd)) != nullptr) {
            first->Uninstall();
        }
        map.TakePassThrough(hwnd);
        return former != nullptr ? CallWindowProcA(former, hwnd, message, wParam, lParam)
                                 : DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (first == nullptr) {
        WNDPROC former = map.PassThrough(hwnd);
        return former != nullptr ? CallWindowProcA(former, hwnd, message, wParam, lParam)
                                 : DefWindowProcA(hwnd, message, wParam, lParam);
    }
    try {
        return first->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's dispatch.
        return 0;
    }
}
