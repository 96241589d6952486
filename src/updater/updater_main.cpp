// clientupdate.exe: started by the login dialog's update link with "para"
// after the program has begun to end. Fetches the newest installer from the
// update server of the settings beside it, installs it silently over its own
// folder (the settings stay; their installed version becomes the new one),
// and starts Velmarin again, whatever came of it.
#include "framework/application.h"
#include "settings/sms_setting.h"
#include "updater/update_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kCaption[] = L"Velmarin 升级";
// Where the update server offers the newest installer.
constexpr wchar_t kInstallerPath[] = L"/update/Velmarin-setup.exe";

void StartProgram(const std::wstring& folder) {
    const std::wstring program = folder + L"\\Velmarin.exe";
    std::wstring command = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
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
        if (!settings.Load() || settings.updServer.empty()) {
            MessageBoxW(nullptr, L"找不到升级服务器的地址（配置文件 velmarin.dat 缺失或损坏），无法升级。",
                        kCaption, MB_OK | MB_ICONERROR);
            return false;
        }
        CUpdateDlg dialog(settings.updServer + kInstallerPath, folder);
        dialog.DoModal();
        switch (dialog.GetOutcome()) {
        case CUpdateDlg::Outcome::DownloadFailed:
            MessageBoxW(nullptr, L"新版本下载失败或不完整，未做任何更改。\n请检查网络后再次单击更新。",
                        kCaption, MB_OK | MB_ICONERROR);
            break;
        case CUpdateDlg::Outcome::InstallFailed: {
            wchar_t text[160];
            swprintf(text, 160, L"新版本安装失败（代码 %lu）。\n请退出 Velmarin 后再次单击更新。",
                     static_cast<unsigned long>(dialog.GetInstallerExitCode()));
            MessageBoxW(nullptr, text, kCaption, MB_OK | MB_ICONERROR);
            break;
        }
        case CUpdateDlg::Outcome::Cancelled:
        case CUpdateDlg::Outcome::Installed:
            break;
        }
        StartProgram(folder);
        return false;
    }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CUpdaterApp app;
    return app.Execute();
}
