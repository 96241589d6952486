#include "signin/login_settings_dialog.h"

#include "settings/sms_setting.h"
#include "signin/signin_resource.h"

#include <vector>

namespace {

constexpr wchar_t kDefaultServer[] = L"" VELMARIN_DEFAULT_SERVER;
constexpr wchar_t kPasswordPage[] = L"" VELMARIN_PASSWORD_PAGE;
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
constexpr int kUnderlineOnHover = 1;

std::wstring ItemText(HWND combo, LRESULT index) {
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
    if (index == CB_ERR || length == CB_ERR) {
        return {};
    }
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

// Adds the default server and selects the entry equal to selected, if any
// (case counts: the list's own search ignores it).
void FillServerList(HWND combo, const std::wstring& selected) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kDefaultServer));
    const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (ItemText(combo, i) == selected) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return;
        }
    }
}

} // namespace

std::wstring DefaultServerAddress() {
    return kDefaultServer;
}

CLoginSetDlg::CLoginSetDlg(const CSMSSetting& settings) : CDialog(IDD_LOGINSET), m_settings(settings) {}

bool CLoginSetDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_passwordLink.SubclassDlgItem(IDC_SET_PASSWORD_LINK, m_hWnd);
    m_passwordLink.SetUnderlineMode(kUnderlineOnHover);
    m_passwordLink.SetCurrentUnderline(false);
    m_passwordLink.SetColours(kLinkBlue, kLinkBlue, kLinkBlue);
    m_passwordLink.SetLinkTarget(kPasswordPage);
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_laidOutWidth = client.right;
    return true;
}

LRESULT CLoginSetDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW) {
        FillServerListsOnce();
    } else if (message == WM_SIZE) {
        StretchToWidth(LOWORD(lParam));
    }
    return result;
}

void CLoginSetDlg::StretchToWidth(int width) {
    // The login dialog makes the panel as wide as itself: the group boxes and
    // server lists take the extra width instead of leaving a bare strip.
    const int delta = width - m_laidOutWidth;
    if (m_laidOutWidth == 0 || delta == 0) {
        return;
    }
    m_laidOutWidth = width;
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, static_cast<int>(std::size(className)));
        const bool groupBox = lstrcmpiW(className, L"Button") == 0 &&
                              (GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        const int id = GetDlgCtrlID(child);
        if (!groupBox && id != IDC_SET_APPSERVER && id != IDC_SET_UPDSERVER) {
            continue;
        }
        RECT rect;
        GetWindowRect(child, &rect);
        SetWindowPos(child, nullptr, 0, 0, rect.right - rect.left + delta, rect.bottom - rect.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLoginSetDlg::FillServerListsOnce() {
    if (m_serverListsFilled) {
        return;
    }
    FillServerList(GetDlgItem(m_hWnd, IDC_SET_APPSERVER), m_settings.appServer);
    FillServerList(GetDlgItem(m_hWnd, IDC_SET_UPDSERVER), m_settings.updServer);
    m_serverListsFilled = true;
}

bool CLoginSetDlg::PreTranslateMessage(MSG& msg) {
    return PassEscapeToFocus(msg) || CDialog::PreTranslateMessage(msg);
}

std::wstring CLoginSetDlg::SelectedText(int id) const {
    HWND combo = GetDlgItem(m_hWnd, id);
    return ItemText(combo, SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

std::wstring CLoginSetDlg::AppServerText() const {
    return SelectedText(IDC_SET_APPSERVER);
}

std::wstring CLoginSetDlg::UpdServerText() const {
    return SelectedText(IDC_SET_UPDSERVER);
}
