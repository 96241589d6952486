// clientupdate.exe: started by the login dialog's update link with "para"
// after the program has begun to end. Fetches the newest installer from the
// update server of the settings beside it, installs it silently over its own
// folder (the settings stay; their installed version becomes the new one),
// and starts Velmarin again, whatever came of it. Only an installer that our
// release key signed, and newer than the installed program, is run.
#include "clientupdate/file_version.h"
#include "clientupdate/update_dialog.h"
#include "framework/application.h"
#include "framework/handles.h"
#include "framework/program_files.h"
#include "release_public_key.h"
#include "settings/sms_setting.h"

#include <commctrl.h>
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kCaption[] = L"Velmarin 升级";
// Where the update server offers the newest installer.
constexpr wchar_t kInstallerPath[] = L"/update/Velmarin-setup.exe";
constexpr wchar_t kProgramFile[] = L"\\Velmarin.exe";

void StartProgram(const std::wstring& folder) {
    const std::wstring program = folder + kProgramFile;
    (void)StartProcess(program, L"\"" + program + L"\"", folder.c_str());
}

void ErrorBox(const wchar_t* text) {
    MessageBoxW(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
}

// One box for each way an update ends other than installed or cancelled.
void ReportOutcome(const CUpdateDlg& dialog) {
    switch (dialog.GetOutcome()) {
    case CUpdateDlg::Outcome::NoManifest:
        ErrorBox(L"无法取得新版本的签名清单，未做任何更改。\n请检查网络后再次单击更新。");
        break;
    case CUpdateDlg::Outcome::Unsigned:
        ErrorBox(L"新版本未通过签名校验，可能已被篡改，未做任何更改。");
        break;
    case CUpdateDlg::Outcome::NotNewer:
        ErrorBox(L"服务器提供的版本不比已安装的版本新，未做任何更改。");
        break;
    case CUpdateDlg::Outcome::DownloadFailed:
        ErrorBox(L"新版本下载失败或不完整，未做任何更改。\n请检查网络后再次单击更新。");
        break;
    case CUpdateDlg::Outcome::InstallFailed: {
        wchar_t text[160];
        swprintf(text, 160, L"新版本安装失败（代码 %lu）。\n请退出 Velmarin 后再次单击更新。",
                 static_cast<unsigned long>(dialog.GetInstallerExitCode()));
        ErrorBox(text);
        break;
    }
    case CUpdateDlg::Outcome::Cancelled:
    case CUpdateDlg::Outcome::Installed:
        break;
    }
}

class CUpdaterApp : public CApplication {
public:
    CUpdaterApp() : CApplication(kCaption) {}

protected:
    bool InitInstance() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        const std::wstring folder = ProgramFolder();
        // An earlier upgrade moved the then running updater aside.
        DeleteFileW((folder + L"\\clientupdate.old").c_str());

        CSMSSetting settings(folder + L"\\velmarin.dat");
        CUpdateSource source{L"", folder, kReleasePublicKey, {}};
        if (!settings.Load() || settings.updServer.empty()) {
            ErrorBox(L"找不到升级服务器的地址（配置文件 velmarin.dat 缺失或损坏），无法升级。");
            return false;
        }
        if (!ReadFileVersion(folder + kProgramFile, source.installed)) {
            // Without it nothing tells an older installer from a newer one.
            ErrorBox(L"无法读取已安装程序的版本，未做任何更改。");
        } else {
            source.installerUrl = settings.updServer + kInstallerPath;
            CUpdateDlg dialog(std::move(source));
            dialog.DoModal();
            ReportOutcome(dialog);
        }
        StartProgram(folder);
        return false;
    }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystem();
    CUpdaterApp app;
    return app.Execute();
}
