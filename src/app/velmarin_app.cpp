#include "app/velmarin_app.h"

#include "framework/program_files.h"
#include "protocol/service_client.h"
#include "signin/account_lock.h"
#include "signin/login_dialog.h"
#include "signin/program_paths.h"
#include "skin/skin.h"
#include "text/ansi_text.h"

#include <utility>

namespace {

constexpr wchar_t kProgramName[] = L"Velmarin";
constexpr wchar_t kResourceLibrary[] = L"res.dll";
constexpr wchar_t kThemePath[] = L"skin\\theme.ini";
constexpr wchar_t kSettingsLoadFailed[] = L"加载配置文件失败！";
constexpr wchar_t kResourcesLoadFailed[] = L"加载资源文件失败！";
constexpr UINT kStartFailureBox = MB_OK | MB_ICONEXCLAMATION;

} // namespace

CVelmarinApp::CVelmarinApp() : CApplication(kProgramName) {}

CVelmarinApp& VelmarinApp() {
    return *static_cast<CVelmarinApp*>(AppInstance());
}

bool CVelmarinApp::InitInstance() {
    if (!CApplication::InitInstance()) {
        return false;
    }
    auto settings = std::make_unique<CSMSSetting>(SettingsFilePath());
    if (!settings->Load()) {
        AppMessageBox(kSettingsLoadFailed, kStartFailureBox);
        return false;
    }
    m_settings = std::move(settings);

    m_resources.reset(LoadLibraryW(ProgramFile(kResourceLibrary).c_str()));
    if (!m_resources) {
        AppMessageBox(kResourcesLoadFailed, kStartFailureBox);
        return false;
    }
    // Without a theme the windows keep their plain look.
    InitSkin(ToAnsi(ProgramFile(kThemePath)).c_str());
    SetServiceEndpoint(ServiceEndpointUrl(m_settings->appServer));

    CLoginDlg login(*m_settings, m_resources.get(), ProgramFolder());
    if (login.DoModal() == kLoginSignedIn) {
        m_session.Set(login.Session());
        m_accountLock = CreateAccountLock(login.Session().userNumber);
        OpenMainWindow();
    }
    // Without a main window the framework ends the program at once.
    return true;
}

void CVelmarinApp::OpenMainWindow() {
    m_mainWindow = std::make_unique<CVelmarinDlg>(*m_settings, m_resources.get(), m_session);
    if (!m_mainWindow->Create(nullptr)) {
        return;
    }
    HWND main = m_mainWindow->GetSafeHwnd();
    SetMainWindow(m_mainWindow.get());
    ShowWindow(main, SW_SHOW);
    ShowWaitWindow(main);
    // Only the web view needs OLE, and it is made from the queue next: the
    // windows show without waiting for it. Without OLE the program still runs
    // up to there.
    m_ole = OleInitializeScoped();
}

// Over the main window until the service's first page has loaded.
void CVelmarinApp::ShowWaitWindow(HWND main) {
    m_waitWindow = std::make_unique<CWaitDlg>(m_resources.get());
    if (!m_waitWindow->Create(main)) {
        return;
    }
    HWND wait = m_waitWindow->GetSafeHwnd();
    RECT parent, own;
    GetWindowRect(main, &parent);
    GetWindowRect(wait, &own);
    SetWindowPos(wait, nullptr, parent.left + (parent.right - parent.left - (own.right - own.left)) / 2,
                 parent.top + (parent.bottom - parent.top - (own.bottom - own.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(wait, kWaitWindowTitle);
    ShowWindow(wait, SW_SHOW);
}

int CVelmarinApp::ExitInstance() {
    // The windows first: the main window stops the heartbeat (its service
    // calls, sounds and notices) and releases the web view's COM objects and
    // the images that GDI+ and res.dll back.
    m_mainWindow.reset();
    m_waitWindow.reset();
    m_accountLock.reset();
    ShutdownGdiplus();
    m_resources.reset();
    ReleaseSkin();
    DeleteServiceClient();
    if (m_settings) {
        m_settings->Save();
        m_settings.reset();
    }
    // Last, after every window object holding COM objects is gone.
    m_ole.reset();
    return CApplication::ExitInstance();
}
