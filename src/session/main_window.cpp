#include "session/main_window.h"

#include "config/config_plugin.h"
#include "framework/program_files.h"
#include "protocol/command_strings.h"
#include "protocol/service_client.h"
#include "release/core/update_check.h"
#include "session/about_dialog.h"
#include "session/notice_resource.h"
#include "session/session_resource.h"
#include "settings/sms_setting.h"
#include "signin/session_sign_in.h"
#include "signin/signin_resource.h"
#include "skin/skin.h"

namespace {

constexpr WORD kNormalIcon = 121, kOfflineIcon = 120, kNewMessageIcon = 133;
constexpr UINT_PTR kUpdateCheckTimer = 1;
constexpr UINT kUpdateCheckPeriodMs = 36'000'000; // ten hours
constexpr UINT_PTR kTrayBlinkTimer = 2;
constexpr UINT kTrayBlinkPeriodMs = 500;
constexpr int kHotKeyId = 1234;
constexpr UINT kAboutCommandFirst = 16, kAboutCommandLast = 31;
constexpr wchar_t kPageCommand[] = L"1003";
constexpr wchar_t kPageExit[] = L"1004";
constexpr wchar_t kExitQuestion[] = L"是否退出Velmarin客户端？";
constexpr wchar_t kProgramName[] = L"Velmarin";
constexpr wchar_t kNoPlugin[] = L"加载Config.dll失败，请检查该文件是否存在！";
constexpr wchar_t kNoPluginEntry[] = L"加载Config.dll函数失败！";
constexpr wchar_t kErrorCaption[] = L"错误";
// The page's exit request, run from the queue: never inside the page's own
// call, whose browser the exit takes down.
constexpr UINT kConfirmExitMessage = WM_APP + 0x40;
// The web view is made from the queue once the window shows: the wait window
// covers the view until the service's first page has loaded.
constexpr UINT kCreateViewMessage = WM_APP + 0x41;
// Windows ends the process soon after the session's end is announced, and the
// service may not answer: the logout gets this long, waiting included.
constexpr int kEndSessionLogoutMs = 2000;

unique_hicon LoadResourceIcon(HMODULE module, WORD id, int size) {
    return unique_hicon(static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

} // namespace

CVelmarinDlg::CVelmarinDlg(CSMSSetting& settings, HMODULE resources, CSessionRecord& session)
    : CDialog(IDD_MAIN), m_tip(
                             resources, [this] { ShowMainWindow(); }, [this] { ConfirmExit(); }),
      m_settings(settings), m_resources(resources), m_session(session) {}

CVelmarinDlg::~CVelmarinDlg() {
    FinishTrayIcon();
    m_tray.Remove();
    m_worker.Stop();
    if (m_tip.GetSafeHwnd()) {
        DestroyWindow(m_tip.GetSafeHwnd());
    }
}

bool CVelmarinDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const int smallIcon = GetSystemMetrics(SM_CXSMICON);
    m_normalIcon = LoadResourceIcon(m_resources, kNormalIcon, smallIcon);
    StartTrayIcon();
    m_offlineIcon = LoadResourceIcon(m_resources, kOfflineIcon, smallIcon);
    m_newMessageIcon = LoadResourceIcon(m_resources, kNewMessageIcon, smallIcon);

    wchar_t aboutText[64] = {};
    if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, aboutText,
                    static_cast<int>(std::size(aboutText))) > 0) {
        HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, kAboutCommandFirst, aboutText);
    }
    m_programIcon = LoadResourceIcon(GetModuleHandleW(nullptr), IDR_MAINFRAME, GetSystemMetrics(SM_CXICON));
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_programIcon.get()));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_programIcon.get()));

    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(m_hWnd, nullptr, work.left, work.top, work.right - work.left, work.bottom - work.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    PostMessageW(m_hWnd, kCreateViewMessage, 0, 0);

    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    RegisterShowHotKey();
    InstallDlgSkin(this);
    return true;
}

// The shell may take tens of milliseconds to take the icon, mostly waiting on
// the shell's own process: the icon is added on a thread of its own while the
// window is skinned, and is there before the window shows (WM_SHOWWINDOW).
void CVelmarinDlg::StartTrayIcon() {
    m_trayAdding.reset(CreateThread(nullptr, 0, &AddTrayIcon, this, 0, nullptr));
    if (!m_trayAdding) {
        m_tray.Create(m_hWnd, m_normalIcon.get());
    }
}

DWORD WINAPI CVelmarinDlg::AddTrayIcon(void* window) {
    auto* self = static_cast<CVelmarinDlg*>(window);
    self->m_tray.Create(self->m_hWnd, self->m_normalIcon.get());
    return 0;
}

// The shell may send to this window meanwhile: the wait answers it.
void CVelmarinDlg::FinishTrayIcon() {
    if (m_trayAdding) {
        JoinAnsweringSentMessages(m_trayAdding.get());
        m_trayAdding.reset();
    }
}

// The view over the whole client area, and its first page: the index with the session id.
void CVelmarinDlg::CreateView() {
    if (m_view.GetSafeHwnd()) {
        return;
    }
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_view.SetViewMode(false);
    if (!m_view.Create(WS_CHILD | WS_VISIBLE | WS_GROUP, client, m_hWnd, IDC_MAIN_VIEW)) {
        return;
    }
    m_view.SetContextMenuMode(CKivHtmlView::kMenuOwn);
    m_view.SetScriptErrorsShown(false);
    m_view.SetAppServer(m_settings.appServer);
    StoreSessionCookie(m_settings.appServer);
    m_view.Navigate(IndexUrl(m_session.Get().sessionId));
    m_view.SetPageCallHandler(
        [this](HWND, const std::wstring& command, const std::wstring& data) { OnPageCall(command, data); });
}

std::wstring CVelmarinDlg::IndexUrl(const std::wstring& sessionId) const {
    return IndexPageUrl(m_settings.appServer, sessionId);
}

void CVelmarinDlg::RegisterShowHotKey() {
    if (m_hotKeyRegistered) {
        UnregisterHotKey(m_hWnd, kHotKeyId);
        m_hotKeyRegistered = false;
    }
    const UINT modifiers = (m_settings.altKey ? MOD_ALT : 0) | (m_settings.ctrlKey ? MOD_CONTROL : 0) |
                           (m_settings.shiftKey ? MOD_SHIFT : 0);
    if (modifiers == 0) {
        return;
    }
    const auto key = static_cast<UINT>(static_cast<unsigned char>(m_settings.codeKey));
    m_hotKeyRegistered = RegisterHotKey(m_hWnd, kHotKeyId, modifiers, key) != FALSE;
}

bool CVelmarinDlg::PreTranslateMessage(MSG& msg) {
    return PassEscapeToFocus(msg) || CDialog::PreTranslateMessage(msg);
}

LRESULT CVelmarinDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TRAY_NOTIFY:
        if (LOWORD(lParam) == WM_LBUTTONDBLCLK) {
            ShowMainWindow();
            return 0;
        }
        return m_tray.OnTrayNotification(wParam, lParam);
    case WM_CALL_SCRIPT:
        // The parameters are never read: the data is in the inbox.
        if (std::optional<CScriptCall> call = m_inbox.TakeScriptCall()) {
            m_view.CallScript(call->function, call->arguments);
        }
        return 0;
    case WM_NAVIGATE_URL:
        if (std::optional<std::wstring> url = m_inbox.TakeNavigation()) {
            m_view.Navigate(*url);
        }
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) {
            FinishTrayIcon();
        }
        break;
    case WM_START_SESSION:
        StartSession();
        return 0;
    case kCreateViewMessage:
        CreateView();
        return 0;
    case kConfirmExitMessage:
        ConfirmExit();
        return 0;
    case WM_ENDSESSION:
        if (wParam) {
            EndSession();
        }
        return 0;
    case WM_START_TRAY_BLINK:
        SetTimer(m_hWnd, kTrayBlinkTimer, kTrayBlinkPeriodMs, nullptr);
        return 0;
    case WM_HOTKEY:
        if (wParam == kHotKeyId) {
            SetForegroundWindow(m_hWnd);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFFF) >= kAboutCommandFirst && (wParam & 0xFFFF) <= kAboutCommandLast) {
            ShowAbout();
            return 0;
        }
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(m_programIcon.get());
    default:
        // The shell restarted: the icon is the only way back to a hidden window.
        if (message == m_taskbarCreated && m_taskbarCreated != 0) {
            m_tray.Restore();
            return 0;
        }
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CVelmarinDlg::OnCommand(int id, int code, HWND control) {
    switch (id) {
    case ID_TRAY_SHOW:
        ShowMainWindow();
        return true;
    case ID_TRAY_SETTINGS:
        OpenSettingsPlugin();
        return true;
    case ID_TRAY_EXIT:
        ConfirmExit();
        return true;
    case ID_TRAY_ABOUT:
        ShowAbout();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

bool CVelmarinDlg::OnClose() {
    ShowWindow(m_hWnd, SW_HIDE);
    return true;
}

bool CVelmarinDlg::OnSize(UINT, int cx, int cy) {
    if (m_view.GetSafeHwnd()) {
        SetWindowPos(m_view.GetSafeHwnd(), nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return false;
}

bool CVelmarinDlg::OnTimer(UINT_PTR id) {
    if (id == kUpdateCheckTimer) {
        RunUpdateCheck();
        return false;
    }
    if (id == kTrayBlinkTimer) {
        Blink();
        return true;
    }
    return false;
}

void CVelmarinDlg::Blink() {
    if (GetActiveWindow() == m_hWnd) {
        KillTimer(m_hWnd, kTrayBlinkTimer);
        m_tray.SetIcon(m_normalIcon.get());
        return;
    }
    m_tray.SetIcon(m_blinkPhase ? m_newMessageIcon.get() : m_normalIcon.get());
    m_blinkPhase = !m_blinkPhase;
}

void CVelmarinDlg::ShowMainWindow() {
    if (IsIconic(m_hWnd)) {
        ShowWindow(m_hWnd, SW_RESTORE);
    } else if (!IsWindowVisible(m_hWnd)) {
        ShowWindow(m_hWnd, SW_SHOW);
    } else {
        SetForegroundWindow(m_hWnd);
    }
}

void CVelmarinDlg::StartSession() {
    if (m_sessionStarted) {
        return;
    }
    PublishWorkerSettings();
    CHeartbeatLinks links;
    links.mainWindow = m_hWnd;
    links.inbox = &m_inbox;
    links.session = &m_session;
    links.settings = &m_workerSettings;
    links.normalIcon = m_normalIcon.get();
    links.offlineIcon = m_offlineIcon.get();
    links.currentIcon = [this] { return m_tray.CurrentIcon(); };
    links.setIcon = [this](HICON icon) { return m_tray.SetIcon(icon); };
    links.addNotice = [this](int type, const std::wstring& text, const std::wstring& link) {
        m_tip.AddNotice(type, text, link);
    };
    m_worker.Start(std::move(links));
    m_tip.Create();
    SetTimer(m_hWnd, kUpdateCheckTimer, kUpdateCheckPeriodMs, nullptr);
    RunUpdateCheck();
    m_sessionStarted = true;
}

void CVelmarinDlg::PublishWorkerSettings() {
    m_workerSettings.Set(CWorkerSettingValues::From(m_settings));
}

void CVelmarinDlg::RunUpdateCheck() {
    CheckForUpdate(m_session.Get(), m_settings.updateInfo.lastVersion,
                   [this](int type, const std::wstring& text, const std::wstring& link) {
                       m_tip.AddNotice(type, text, link);
                   });
}

void CVelmarinDlg::OnPageCall(const std::wstring& command, const std::wstring& data) {
    if (command == kPageCommand) {
        const CUserSession session = m_session.Get();
        const CCommandContext context(session.userNumber, session.password);
        std::wstring reply;
        CallEntry(BuildPageCommand(context, data), reply);
    } else if (command == kPageExit) {
        PostMessageW(m_hWnd, kConfirmExitMessage, 0, 0);
    }
}

void CVelmarinDlg::ConfirmExit() {
    if (MessageBoxW(m_hWnd, kExitQuestion, kProgramName, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    // Nothing the heartbeat does may follow the logout, least of all a silent
    // sign-in (a new session it finishes now it logs out itself). It is only
    // told here: waiting for it could wait on a page call further up this
    // thread's stack; the object's destruction joins it.
    m_worker.RequestStop();
    std::wstring reply;
    CallEntry(BuildLogoutRequest(m_session.Get().sessionId), reply);
    if (m_hotKeyRegistered) {
        UnregisterHotKey(m_hWnd, kHotKeyId);
    }
    m_hotKeyRegistered = false;
    DestroyWindow(m_hWnd);
}

void CVelmarinDlg::EndSession() {
    // The process ends once this returns: what the user chose is saved here,
    // and nothing waits long, so no join with the heartbeat.
    m_worker.RequestStop();
    std::wstring reply;
    CallEntryWithin(BuildLogoutRequest(m_session.Get().sessionId), reply, kEndSessionLogoutMs);
    m_settings.Save();
}

void CVelmarinDlg::OpenSettingsPlugin() {
    // Loaded once and kept: the plug-in may keep state between calls.
    static HMODULE plugin = nullptr;
    if (!plugin) {
        plugin = LoadLibraryW(ProgramFile(kConfigLibraryName).c_str());
    }
    if (!plugin) {
        MessageBoxW(m_hWnd, kNoPlugin, kErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }
    const auto exec =
        reinterpret_cast<ExecConfigProc>(reinterpret_cast<void*>(GetProcAddress(plugin, kConfigEntryName)));
    if (!exec) {
        MessageBoxW(m_hWnd, kNoPluginEntry, kErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }
    const std::wstring sessionId = m_session.Get().sessionId;
    exec(m_hWnd, m_resources, &m_settings, sessionId.c_str());
    // What the plug-in changed takes effect now, not at the next start.
    PublishWorkerSettings();
    RegisterShowHotKey();
}

void CVelmarinDlg::ShowAbout() {
    CAboutDlg about;
    about.DoModal(m_hWnd);
}
