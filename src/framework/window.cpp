#include "framework/window.h"

#include "framework/application.h"

#include <commctrl.h>
#include <windowsx.h>

#include <unordered_map>

namespace {

// One subclass per window and module: each module links its own SubclassProc.
constexpr UINT_PTR kSubclassId = 1;

// Window handle to object, touched by the UI thread only.
std::unordered_map<HWND, CWindow*>& WindowMap() {
    static std::unordered_map<HWND, CWindow*> map;
    return map;
}

POINT MousePoint(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

} // namespace

CWindow::~CWindow() {
    if (m_hWnd) {
        Detach();
    }
}

CWindow* CWindow::FromHandle(HWND hwnd) {
    auto& map = WindowMap();
    auto it = map.find(hwnd);
    return it == map.end() ? nullptr : it->second;
}

bool CWindow::BindHandle(HWND hwnd) {
    if (m_hWnd || !hwnd || !IsWindow(hwnd) || !WindowMap().emplace(hwnd, this).second) {
        return false;
    }
    m_hWnd = hwnd;
    return true;
}

void CWindow::UnbindHandle() {
    WindowMap().erase(m_hWnd);
    m_hWnd = nullptr;
    m_subclassed = false;
    m_routesMessages = false;
}

bool CWindow::Hook(HWND hwnd, bool routeMessages) {
    if (!BindHandle(hwnd)) {
        return false;
    }
    if (!SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        UnbindHandle();
        return false;
    }
    m_subclassed = true;
    m_routesMessages = routeMessages;
    PreSubclassWindow();
    return true;
}

bool CWindow::Attach(HWND hwnd) {
    return Hook(hwnd, false);
}

bool CWindow::Subclass(HWND hwnd) {
    return Hook(hwnd, true);
}

bool CWindow::SubclassDlgItem(int id, HWND parent) {
    HWND control = GetDlgItem(parent, id);
    return control && Subclass(control);
}

HWND CWindow::Detach() {
    HWND hwnd = m_hWnd;
    if (m_subclassed) {
        RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
    }
    UnbindHandle();
    return hwnd;
}

void CWindow::OnFinalMessage() {
    if (m_subclassed) {
        RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    }
    UnbindHandle();
    if (CApplication* app = AppInstance()) {
        app->OnWindowDestroyed(this);
    }
}

void CWindow::PreSubclassWindow() {}

bool CWindow::PreTranslateMessage(MSG&) {
    return false;
}

bool CWindow::PreTranslateTree(MSG& msg) {
    for (HWND hwnd = msg.hwnd; hwnd;
         hwnd = (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr) {
        CWindow* window = FromHandle(hwnd);
        if (window && window->PreTranslateMessage(msg)) {
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK CWindow::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR refData) {
    auto* window = reinterpret_cast<CWindow*>(refData);
    if (message == WM_NCDESTROY) {
        window->OnFinalMessage();
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (!window->m_routesMessages) {
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    return window->WindowProc(message, wParam, lParam);
}

LRESULT CWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_subclassed) {
        return DefSubclassProc(m_hWnd, message, wParam, lParam);
    }
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        auto control = reinterpret_cast<HWND>(lParam);
        CWindow* child = control ? FromHandle(control) : nullptr;
        if (child && child != this && child->OnReflectedCommand(HIWORD(wParam))) {
            return 0;
        }
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), control)) {
            return 0;
        }
        break;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        auto dc = reinterpret_cast<HDC>(wParam);
        auto control = reinterpret_cast<HWND>(lParam);
        CWindow* child = FromHandle(control);
        if (child && child != this) {
            if (HBRUSH brush = child->OnReflectedCtlColor(dc, message)) {
                return reinterpret_cast<LRESULT>(brush);
            }
        }
        if (HBRUSH brush = OnCtlColor(dc, control, message)) {
            return reinterpret_cast<LRESULT>(brush);
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        CWindow* child = item.CtlType == ODT_MENU ? nullptr : FromHandle(item.hwndItem);
        if (child && child != this && child->OnReflectedDrawItem(item)) {
            return TRUE;
        }
        if (OnDrawItem(static_cast<int>(wParam), item)) {
            return TRUE;
        }
        break;
    }
    case WM_PAINT:
        if (OnPaint()) {
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        if (OnEraseBkgnd(reinterpret_cast<HDC>(wParam))) {
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (OnTimer(wParam)) {
            return 0;
        }
        break;
    case WM_SIZE:
        if (OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam))) {
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (OnMouseMove(static_cast<UINT>(wParam), MousePoint(lParam))) {
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        if (OnLButtonDown(static_cast<UINT>(wParam), MousePoint(lParam))) {
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (OnLButtonUp(static_cast<UINT>(wParam), MousePoint(lParam))) {
            return 0;
        }
        break;
    case WM_MOUSELEAVE:
        if (OnMouseLeave()) {
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam))) {
            return TRUE;
        }
        break;
    case WM_CLOSE:
        if (OnClose()) {
            return 0;
        }
        break;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

bool CWindow::OnCommand(int, int, HWND) {
    return false;
}
HBRUSH CWindow::OnCtlColor(HDC, HWND, UINT) {
    return nullptr;
}
bool CWindow::OnDrawItem(int, const DRAWITEMSTRUCT&) {
    return false;
}
bool CWindow::OnReflectedCommand(int) {
    return false;
}
HBRUSH CWindow::OnReflectedCtlColor(HDC, UINT) {
    return nullptr;
}
bool CWindow::OnReflectedDrawItem(const DRAWITEMSTRUCT&) {
    return false;
}
bool CWindow::OnPaint() {
    return false;
}
bool CWindow::OnEraseBkgnd(HDC) {
    return false;
}
bool CWindow::OnTimer(UINT_PTR) {
    return false;
}
bool CWindow::OnSize(UINT, int, int) {
    return false;
}
bool CWindow::OnMouseMove(UINT, POINT) {
    return false;
}
bool CWindow::OnLButtonDown(UINT, POINT) {
    return false;
}
bool CWindow::OnLButtonUp(UINT, POINT) {
    return false;
}
bool CWindow::OnMouseLeave() {
    return false;
}
bool CWindow::OnSetCursor(HWND, UINT, UINT) {
    return false;
}
bool CWindow::OnClose() {
    return false;
}
void CWindow::OnDestroy() {}
