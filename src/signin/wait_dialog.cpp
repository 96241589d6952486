#include "signin/wait_dialog.h"

#include "signin/signin_resource.h"

namespace {

constexpr COLORREF kBackground = RGB(225, 238, 254);
constexpr int kTransparent = 1;
constexpr WORD kAnimationId = 123;
constexpr wchar_t kAnimationType[] = L"gif";

} // namespace

CWaitDlg::CWaitDlg(HMODULE resources) : CDialog(IDD_WAIT), m_resources(resources) {}

bool CWaitDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_animation.SetBkMode(kTransparent);
    m_animation.Attach(GetDlgItem(m_hWnd, IDC_WAIT_ANIMATION));
    if (m_resources && FindResourceW(m_resources, MAKEINTRESOURCEW(kAnimationId), kAnimationType)) {
        m_animation.LoadFromResource(m_resources, MAKEINTRESOURCEW(kAnimationId), kAnimationType);
    }
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

bool CWaitDlg::OnEraseBkgnd(HDC dc) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    const COLORREF old = SetBkColor(dc, kBackground);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    SetBkColor(dc, old);
    return true;
}

HBRUSH CWaitDlg::OnCtlColor(HDC dc, HWND, UINT message) {
    if (message != WM_CTLCOLORSTATIC) {
        return nullptr;
    }
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
}

void CWaitDlg::OnDestroy() {
    m_animation.Detach();
}

bool CWaitDlg::PreTranslateMessage(MSG& msg) {
    return PassEscapeToFocus(msg) || CDialog::PreTranslateMessage(msg);
}
