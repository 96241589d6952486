#include "framework/ole_control_wnd.h"

namespace {

constexpr wchar_t kHostClass[] = L"VelmarinOleControlHost";

// The class of this module's host windows: they paint nothing, the control covers them.
bool RegisterHostClass() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kHostClass;
        return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

COleControlWnd::~COleControlWnd() {
    if (m_hWnd && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

bool COleControlWnd::Create(REFCLSID clsid, DWORD style, const RECT& rect, HWND parent, int id) {
    if (m_hWnd || !RegisterHostClass()) {
        return false;
    }
    DWORD exStyle = 0;
    PreCreateWindow(style, exStyle);
    HWND hwnd = CreateWindowExW(
        exStyle, kHostClass, L"", style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) {
        return false;
    }
    if (!Subclass(hwnd)) {
        DestroyWindow(hwnd);
        return false;
    }
    m_site = CreateControlSite();
    if (!m_site || FAILED(m_site->CreateControl(clsid, ControlRect())) || !OnControlCreated()) {
        DestroyWindow(m_hWnd);
        return false;
    }
    return true;
}

void COleControlWnd::PlaceControl() {
    if (m_site) {
        m_site->MoveControl(ControlRect());
    }
}

bool COleControlWnd::PreTranslateMessage(MSG& msg) {
    return m_site && m_site->ForwardKeyMessage(msg);
}

void COleControlWnd::PreCreateWindow(DWORD&, DWORD&) {}

com_ptr<COleControlSite> COleControlWnd::CreateControlSite() {
    return make_com<COleControlSite>(m_hWnd);
}

bool COleControlWnd::OnControlCreated() {
    return true;
}

RECT COleControlWnd::ControlRect() const {
    RECT rect{};
    GetClientRect(m_hWnd, &rect);
    return rect;
}

bool COleControlWnd::OnSize(UINT, int, int) {
    PlaceControl();
    return false;
}

void COleControlWnd::OnDestroy() {
    if (m_site) {
        m_site->Detach();
        m_site.reset();
    }
}
