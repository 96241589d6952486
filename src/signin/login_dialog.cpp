#include "signin/login_dialog.h"

#include "framework/bitmap_region.h"
#include "protocol/service_client.h"
#include "release/core/gif_signature.h"
#include "settings/sms_setting.h"
#include "signin/core/login_rules.h"
#include "signin/login_procedure.h"
#include "signin/program_paths.h"
#include "signin/signin_resource.h"
#include "skin/skin.h"

#include <shellapi.h>
#include <uxtheme.h>

#include <cwchar>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kTitle[] = L"Velmarin登录";
constexpr wchar_t kSettingsClosed[] = L"设置↓";
constexpr wchar_t kSettingsOpen[] = L"设置↑";
constexpr wchar_t kAdFile[] = L"ad\\loginad.gif";
constexpr wchar_t kAdPath[] = L"/ad/loginad.gif";
constexpr wchar_t kAdFolder[] = L"\\ad\\";
constexpr wchar_t kUpdater[] = L"clientupdate.exe";
constexpr wchar_t kUpdaterParameter[] = L"para";
constexpr WORD kBackgroundBitmap = 117;
constexpr WORD kMinimizeNormal = 113, kMinimizeHover = 114, kMinimizePressed = 112;
constexpr WORD kCloseNormal = 110, kCloseHover = 111, kClosePressed = 109;
constexpr int kDragStripHeight = 17;
constexpr int kTransparent = 1;
constexpr int kUnderlineOnHover = 1;
constexpr COLORREF kHintText = RGB(200, 200, 200);
constexpr COLORREF kEnteredText = RGB(0, 0, 0);
constexpr COLORREF kLabelText = RGB(85, 85, 85);
constexpr COLORREF kUpdateRed = RGB(255, 0, 0);
constexpr wchar_t kPasswordChar = L'*';
// Posted after the first paint: the advertisement's download starts and the
// saved one is decoded then. The download's thread loads the network
// libraries, which would hold up the dialog's own start.
constexpr UINT kAfterFirstPaintMessage = WM_APP + 0x41;

std::wstring WindowText(HWND hwnd) {
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1);
    GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Today's local date as yyyymmdd, the name of the advertisement's dated copy.
std::wstring LocalDateText() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

// Writes the whole file or, on failure, leaves none behind.
bool WriteWholeFile(const std::wstring& path, const BYTE* data, DWORD size) {
    unique_handle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        static_cast<void>(file.release());
        return false;
    }
    DWORD written = 0;
    const bool whole = WriteFile(file.get(), data, size, &written, nullptr) && written == size;
    file.reset();
    if (!whole) {
        DeleteFileW(path.c_str());
    }
    return whole;
}

} // namespace

CLoginDlg::CLoginDlg(CSMSSetting& settings, HMODULE resources, std::wstring programFolder)
    : FCDownloadFileWndBase<CDialog>(IDD_LOGIN), m_settingsWindow(settings), m_settings(settings),
      m_resources(resources), m_programFolder(std::move(programFolder)) {}

bool CLoginDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_settings.autoLogin &&
        Login(m_hWnd, m_settings.userInfo.defaultUser, m_settings.userInfo.defaultPassword, m_session)) {
        EndDialog(kLoginSignedIn);
        return true;
    }

    RECT window;
    GetWindowRect(m_hWnd, &window);
    SetWindowPos(m_hWnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (window.right - window.left)) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - (window.bottom - window.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(m_hWnd, kTitle);
    SendMessageW(
        m_hWnd, WM_SETICON, ICON_SMALL,
        reinterpret_cast<LPARAM>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))));

    FillInputs();

    m_ad.SetBkMode(kTransparent);
    m_ad.Attach(Item(IDC_LOGIN_AD));
    m_awaitingFirstPaint = true;

    m_minimize.SubclassDlgItem(IDC_LOGIN_MINIMIZE, m_hWnd);
    m_minimize.SetBitmaps(m_resources, kMinimizeNormal, kMinimizeHover, kMinimizePressed, kMinimizeNormal);
    m_close.SubclassDlgItem(IDC_LOGIN_CLOSE, m_hWnd);
    m_close.SetBitmaps(m_resources, kCloseNormal, kCloseHover, kClosePressed, kCloseNormal);

    ShapeToBackground();
    if (m_settings.updateInfo.lastVersion != m_settings.updateInfo.version) {
        ShowUpdateNotice();
    }

    // A themed check box draws its text in the theme's colour, whatever
    // WM_CTLCOLORSTATIC says: the plain one keeps the grey of the labels.
    SetWindowTheme(Item(IDC_LOGIN_AUTO), L"", L"");
    InstallCtlSkin(m_hWnd, IDC_LOGIN_OK);
    InstallCtlSkin(m_hWnd, IDC_LOGIN_SETTINGS);
    if (m_numberHasText) {
        return true;
    }
    // The number box would take the first focus and drop its hint before
    // anyone saw it: both hints show until the user enters a box.
    SetFocus(Item(IDC_LOGIN_OK));
    return false;
}

void CLoginDlg::FillInputs() {
    HWND number = Item(IDC_LOGIN_NUMBER);
    for (const std::wstring& user : m_settings.userInfo.userList) {
        SendMessageW(number, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(user.c_str()));
    }
    if (!m_settings.userInfo.defaultUser.empty()) {
        SetWindowTextW(number, m_settings.userInfo.defaultUser.c_str());
        m_numberHasText = TRUE;
    } else {
        SetWindowTextW(number, kNumberHint);
    }
    ShowPasswordHint();
}

void CLoginDlg::ShapeToBackground() {
    m_background = LoadBitmapResource(m_resources, kBackgroundBitmap);
    if (!m_background) {
        return;
    }
    unique_hrgn shape = CreateBitmapRegion(m_background.get());
    if (shape) {
        SetWindowRegion(m_hWnd, std::move(shape), true);
    }
}

// Made by the first toggle, not at start: making it takes long enough to hold
// up a sign-in pressed at once, and a panel never opened changes nothing.
void CLoginDlg::MakeSettingsWindow() {
    if (m_settingsWindow.GetSafeHwnd()) {
        return;
    }
    // Made hidden, it still takes the focus for its first control: the user's stays.
    HWND focus = GetFocus();
    m_settingsWindow.Create(nullptr);
    if (focus && GetFocus() != focus) {
        SetFocus(focus);
    }
}

void CLoginDlg::ShowUpdateNotice() {
    m_updateNotice.SubclassDlgItem(IDC_LOGIN_UPDATE, m_hWnd);
    m_updateNotice.SetColours(kUpdateRed, kUpdateRed, kUpdateRed);
    m_updateNotice.SetUnderlineMode(kUnderlineOnHover);
    m_updateNotice.SetCurrentUnderline(false);
    ShowWindow(Item(IDC_LOGIN_UPDATE), SW_SHOW);
}

bool CLoginDlg::PreTranslateMessage(MSG& msg) {
    return PassEscapeToFocus(msg) || FCDownloadFileWndBase<CDialog>::PreTranslateMessage(msg);
}

LRESULT CLoginDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kAfterFirstPaintMessage) {
        // A dialog already ended (and hidden) by a sign-in needs no picture.
        if (!IsWindowVisible(m_hWnd)) {
            return 0;
        }
        StartDownload(m_settings.updServer + kAdPath, kMaxAdvertisementBytes);
        m_ad.LoadFromFile(m_programFolder + L"\\" + kAdFile);
        return 0;
    }
    const LRESULT result = FCDownloadFileWndBase<CDialog>::WindowProc(message, wParam, lParam);
    if (message == WM_PAINT && m_awaitingFirstPaint) {
        m_awaitingFirstPaint = false;
        PostMessageW(m_hWnd, kAfterFirstPaintMessage, 0, 0);
    }
    if (message == WM_MOVE && m_settingsWindow.GetSafeHwnd() &&
        IsWindowVisible(m_settingsWindow.GetSafeHwnd())) {
        PlaceSettingsWindow();
    }
    return result;
}

bool CLoginDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case IDC_LOGIN_MINIMIZE:
        if (code == BN_CLICKED) {
            SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }
        return true;
    case IDC_LOGIN_CLOSE:
        if (code == BN_CLICKED) {
            SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
        }
        return true;
    case IDC_LOGIN_SETTINGS:
        if (code == BN_CLICKED) {
            ToggleSettings();
        }
        return true;
    case IDC_LOGIN_OK:
        if (code == BN_CLICKED) {
            OnLogin();
        }
        return true;
    case IDC_LOGIN_UPDATE:
        if (code == BN_CLICKED) {
            StartUpdater();
        }
        return true;
    case IDC_LOGIN_NUMBER:
        if (code == CBN_SETFOCUS) {
            OnNumberFocus();
        }
        return false;
    case IDC_LOGIN_PASSWORD:
        if (code == EN_SETFOCUS) {
            OnPasswordFocus();
        }
        return false;
    default:
        return FCDownloadFileWndBase<CDialog>::OnCommand(id, code, control);
    }
}

bool CLoginDlg::IsNumberBox(HWND control) const {
    HWND number = Item(IDC_LOGIN_NUMBER);
    return control == number || GetParent(control) == number;
}

HBRUSH CLoginDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
    if (IsNumberBox(control) || control == Item(IDC_LOGIN_PASSWORD)) {
        const BOOL hasText = IsNumberBox(control) ? m_numberHasText : m_passwordHasText;
        SetTextColor(dc, hasText ? kEnteredText : kHintText);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return GetSysColorBrush(COLOR_WINDOW);
    }
    if (message == WM_CTLCOLORSTATIC && control != Item(IDC_LOGIN_UPDATE)) {
        SetTextColor(dc, kLabelText);
        SetBkMode(dc, TRANSPARENT);
        return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
    }
    return nullptr;
}

bool CLoginDlg::OnEraseBkgnd(HDC dc) {
    if (!m_background) {
        return false;
    }
    DrawBitmapBackground(dc, m_background.get());
    return true;
}

bool CLoginDlg::OnLButtonDown(UINT, POINT point) {
    if (point.y < kDragStripHeight) {
        // Dragging the top strip moves the window, as a caption would.
        POINT screen = point;
        ClientToScreen(m_hWnd, &screen);
        SendMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
    }
    return false;
}

bool CLoginDlg::OnClose() {
    if (m_settingsWindow.GetSafeHwnd()) {
        DestroyWindow(m_settingsWindow.GetSafeHwnd());
    }
    return false;
}

void CLoginDlg::ShowNumberHint() {
    m_numberHasText = FALSE;
    SetWindowTextW(Item(IDC_LOGIN_NUMBER), kNumberHint);
}

void CLoginDlg::ShowPasswordHint() {
    HWND password = Item(IDC_LOGIN_PASSWORD);
    SendMessageW(password, EM_SETPASSWORDCHAR, 0, 0);
    m_passwordHasText = FALSE;
    SetWindowTextW(password, kPasswordHint);
}

void CLoginDlg::OnNumberFocus() {
    if (GetWindowTextLengthW(Item(IDC_LOGIN_PASSWORD)) == 0) {
        ShowPasswordHint();
    }
    HWND number = Item(IDC_LOGIN_NUMBER);
    if (WindowText(number) == kNumberHint) {
        SetWindowTextW(number, L"");
        m_numberHasText = TRUE;
    }
}

void CLoginDlg::OnPasswordFocus() {
    if (GetWindowTextLengthW(Item(IDC_LOGIN_NUMBER)) == 0) {
        ShowNumberHint();
    }
    HWND password = Item(IDC_LOGIN_PASSWORD);
    if (WindowText(password) == kPasswordHint) {
        SendMessageW(password, EM_SETPASSWORDCHAR, kPasswordChar, 0);
        SetWindowTextW(password, L"");
        m_passwordHasText = TRUE;
    }
}

void CLoginDlg::ToggleSettings() {
    HWND button = Item(IDC_LOGIN_SETTINGS);
    MakeSettingsWindow();
    HWND panel = m_settingsWindow.GetSafeHwnd();
    if (WindowText(button) == kSettingsClosed) {
        SetWindowTextW(button, kSettingsOpen);
        PlaceSettingsWindow();
        if (panel) {
            ShowWindow(panel, SW_SHOWNOACTIVATE);
        }
        SetFocus(button);
    } else {
        SetWindowTextW(button, kSettingsClosed);
        if (panel) {
            ShowWindow(panel, SW_HIDE);
        }
    }
}

void CLoginDlg::PlaceSettingsWindow() {
    HWND panel = m_settingsWindow.GetSafeHwnd();
    if (!panel) {
        return;
    }
    RECT dialog, own;
    GetWindowRect(m_hWnd, &dialog);
    GetWindowRect(panel, &own);
    // The visible bottom: the shape may end above the window's rectangle.
    RECT shape;
    if (GetWindowRgnBox(m_hWnd, &shape) != ERROR && shape.bottom > 0 &&
        shape.bottom < dialog.bottom - dialog.top) {
        dialog.bottom = dialog.top + shape.bottom;
    }
    SetWindowPos(panel, nullptr, dialog.left, dialog.bottom, dialog.right - dialog.left, own.bottom - own.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLoginDlg::TakeServerChoices() {
    if (!m_settingsWindow.GetSafeHwnd()) {
        return;
    }
    const std::wstring appServer = m_settingsWindow.AppServerText();
    if (!appServer.empty() && appServer != m_settings.appServer) {
        m_settings.appServer = appServer;
        SetServiceEndpoint(ServiceEndpointUrl(appServer));
    }
    const std::wstring updServer = m_settingsWindow.UpdServerText();
    if (!updServer.empty() && updServer != m_settings.updServer) {
        m_settings.updServer = updServer;
    }
}

void CLoginDlg::OnLogin() {
    TakeServerChoices();
    const std::wstring number = WindowText(Item(IDC_LOGIN_NUMBER));
    const std::wstring password = WindowText(Item(IDC_LOGIN_PASSWORD));
    const LoginInputFault fault = CheckLoginInput(number, password);
    if (fault != LoginInputFault::None) {
        const CLoginInputMessage message = LoginInputMessage(fault);
        MessageBoxW(m_hWnd, message.text, message.caption, MB_OK | MB_ICONEXCLAMATION);
        SetFocus(Item(message.focusNumber ? IDC_LOGIN_NUMBER : IDC_LOGIN_PASSWORD));
        return;
    }
    if (!Login(m_hWnd, number, password, m_session)) {
        return;
    }
    RememberUser(m_settings, IsDlgButtonChecked(m_hWnd, IDC_LOGIN_AUTO) == BST_CHECKED, number, password);
    if (m_settingsWindow.GetSafeHwnd()) {
        DestroyWindow(m_settingsWindow.GetSafeHwnd());
    }
    m_ad.Detach();
    EndDialog(kLoginSignedIn);
}

void CLoginDlg::StartUpdater() {
    // A missing updater is not reported: the program ends all the same.
    ShellExecuteW(nullptr, L"open", (m_programFolder + L"\\" + kUpdater).c_str(), kUpdaterParameter, nullptr,
                  SW_SHOWNORMAL);
    if (m_settingsWindow.GetSafeHwnd()) {
        DestroyWindow(m_settingsWindow.GetSafeHwnd());
    }
    EndDialog(kLoginRunUpdater);
}

int CLoginDlg::OnCheckTime(const std::wstring&, const std::wstring& time) {
    m_adTimeCandidate = time;
    // Without a time nothing tells a changed picture: fetch it at every start.
    return time != m_settings.updateInfo.adTime || time == kNoModificationTime;
}

void CLoginDlg::OnDownFinished(const std::wstring&, const BYTE* data, DWORD size) {
    // Whatever else a server sends in its place is never written.
    if (!IsGifSignature(data, size)) {
        return;
    }
    const std::wstring folder = m_programFolder + kAdFolder;
    const std::wstring dated = folder + L"loginad_" + LocalDateText() + L".gif";
    if (!WriteWholeFile(dated, data, size)) {
        return;
    }
    m_ad.LoadFromFile(dated);
    InvalidateRect(Item(IDC_LOGIN_AD), nullptr, FALSE);
    // The time is kept only once the copy read at the next start is in place,
    // or a failed copy would never be downloaded again.
    if (CopyFileW(dated.c_str(), (folder + L"loginad.gif").c_str(), FALSE)) {
        m_settings.updateInfo.adTime = m_adTimeCandidate;
    }
}
