#include "app/velmarin_app.h"

#include "app/account_lock.h"
#include "app/login_dialog.h"
#include "app/program_paths.h"
#include "protocol/service_client.h"
#include "skin/skin.h"

#include <utility>

namespace {

constexpr wchar_t kProgramName[] = L"Velmarin";
constexpr wchar_t kResourceLibrary[] = L"res.dll";
constexpr char kThemePath[] = "skin\\theme.ini";
constexpr wchar_t kSettingsLoadFailed[] = L"加载配置文件失败！";
constexpr wchar_t kResourcesLoadFailed[] = L"加载资源文件失败！";
constexpr UINT kStartFailureBox = MB_OK | MB_ICONEXCLAMATION;

} // namespace

CVelmarinApp::CVelmarinApp() : CApplication(kProgramName) {}

CVelmarinApp& VelmarinApp() {
    return *static_cast<CVelmarinApp*>(AppInstance());
}

CUserSession CVelmarinApp::GetSession() const {
    std::lock_guard lock(m_sessionLock);
    return m_session;
}

void CVelmarinApp::SetSession(CUserSession session) {
    std::lock_guard lock(m_sessionLock);
    m_session = std::move(session);
}

bool CVelmarinApp::InitInstance() {
    if (!CApplication::InitInstance())
        return false;
    // The web view needs OLE; without it the program still runs up to there.
    m_ole = OleInitializeScoped();

    auto settings = std::make_unique<CSMSSetting>(SettingsFilePath());
    if (!settings->Load()) {
        AppMessageBox(kSettingsLoadFailed, kStartFailureBox);
        return false;
    }
    m_settings = std::move(settings);

    m_resources.reset(LoadLibraryW(kResourceLibrary));
    if (!m_resources) {
        AppMessageBox(kResourcesLoadFailed, kStartFailureBox);
        return false;
    }
    m_gdiplus = GdiplusStartupScoped();
    // Without a theme the windows keep their plain look.
    InitSkin(kThemePath);
    SetServiceEndpoint(ServiceEndpointUrl(m_settings->appServer));

    CLoginDlg login(*m_settings, m_resources.get(), ProgramFolder());
    if (login.DoModal() == kLoginSignedIn) {
        SetSession(login.Session());
        m_accountLock = CreateAccountLock(login.Session().userNumber);
    }
    // Without a main window the framework ends the program at once.
    return true;
}

int CVelmarinApp::ExitInstance() {
    m_accountLock.reset();
    m_gdiplus.reset();
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
