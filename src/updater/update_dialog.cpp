#include "updater/update_dialog.h"
#include "updater/updater_resource.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cwchar>
#include <utility>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 200;
// The program ends right after starting the updater, slowly under some
// window systems; past this the installer is run and reports what it cannot replace.
constexpr DWORD kProgramEndWaitMs = 30000;
constexpr wchar_t kProgramFile[] = L"Velmarin.exe";
// The largest installer taken.
constexpr DWORD kMaxInstallerBytes = 200u << 20;

} // namespace

bool IsProcessRunning(const wchar_t* name) {
    unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return false;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        const wchar_t* slash = std::wcsrchr(entry.szExeFile, L'\\');
        if (_wcsicmp(slash ? slash + 1 : entry.szExeFile, name) == 0)
            return true;
    }
    return false;
}

CUpdateDlg::CUpdateDlg(std::wstring url, std::wstring folder)
    : FCDownloadFileWndBase<CDialog>(IDD_UPDATE), m_url(std::move(url)), m_folder(std::move(folder)) {}

CUpdateDlg::~CUpdateDlg() {
    if (m_installer)
        WaitForSingleObject(m_installer.get(), INFINITE);
    if (!m_installerPath.empty())
        DeleteFileW(m_installerPath.c_str());
}

bool CUpdateDlg::OnInitDialog() {
    SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETRANGE32, 0, 100);
    StartDownload(m_url, kMaxInstallerBytes);
    return true;
}

void CUpdateDlg::SetStatus(const wchar_t* text) {
    SetDlgItemTextW(m_hWnd, IDC_UPDATE_STATUS, text);
}

void CUpdateDlg::OnDownProgress(const std::wstring&, DWORD done, DWORD total) {
    wchar_t text[96];
    if (total != 0) {
        SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETPOS,
                            static_cast<WPARAM>(static_cast<ULONGLONG>(done) * 100 / total), 0);
        swprintf(text, 96, L"已下载 %lu KB / %lu KB", static_cast<unsigned long>(done / 1024),
                 static_cast<unsigned long>(total / 1024));
    } else {
        swprintf(text, 96, L"已下载 %lu KB", static_cast<unsigned long>(done / 1024));
    }
    SetDlgItemTextW(m_hWnd, IDC_UPDATE_BYTES, text);
}

void CUpdateDlg::OnDownError(const std::wstring&) {
    if (m_step == Step::Downloading)
        Finish(Outcome::DownloadFailed);
}

void CUpdateDlg::OnDownFinished(const std::wstring&, const BYTE* data, DWORD size) {
    if (m_step != Step::Downloading)
        return;
    // Whatever a server or proxy sends in place of a program is refused here;
    // the installer checks its own integrity before it changes anything.
    if (size < 2 || data[0] != 'M' || data[1] != 'Z') {
        Finish(Outcome::DownloadFailed);
        return;
    }
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        Finish(Outcome::DownloadFailed);
        return;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Velmarin-update-%lu.exe", static_cast<unsigned long>(GetCurrentProcessId()));
    m_installerPath = std::wstring(folder) + name;
    unique_handle file(CreateFileW(m_installerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool whole = file.get() != INVALID_HANDLE_VALUE &&
                       WriteFile(file.get(), data, size, &written, nullptr) && written == size;
    if (file.get() == INVALID_HANDLE_VALUE)
        (void)file.release();
    file.reset();
    if (!whole) {
        Finish(Outcome::DownloadFailed);
        return;
    }
    SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETPOS, 100, 0);
    SetStatus(L"正在等待 Velmarin 退出...");
    m_step = Step::WaitingForProgram;
    m_waitStarted = GetTickCount();
    SetTimer(m_hWnd, kPollTimer, kPollMs, nullptr);
}

bool CUpdateDlg::OnTimer(UINT_PTR id) {
    if (id != kPollTimer)
        return false;
    if (m_step == Step::WaitingForProgram) {
        if (!IsProcessRunning(kProgramFile) || GetTickCount() - m_waitStarted > kProgramEndWaitMs)
            StartInstaller();
    } else if (m_step == Step::Installing && WaitForSingleObject(m_installer.get(), 0) == WAIT_OBJECT_0) {
        GetExitCodeProcess(m_installer.get(), &m_exitCode);
        m_installer.reset();
        Finish(m_exitCode == 0 ? Outcome::Installed : Outcome::InstallFailed);
    }
    return true;
}

void CUpdateDlg::StartInstaller() {
    SetStatus(L"正在安装新版本...");
    EnableWindow(GetDlgItem(m_hWnd, IDCANCEL), FALSE);
    // Silent, over this very folder, whatever the installer would choose; /D
    // comes last and unquoted by the installer's own rules.
    std::wstring command = L"\"" + m_installerPath + L"\" /S /D=" + m_folder;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(m_installerPath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        m_exitCode = GetLastError();
        Finish(Outcome::InstallFailed);
        return;
    }
    CloseHandle(process.hThread);
    m_installer.reset(process.hProcess);
    m_step = Step::Installing;
}

void CUpdateDlg::OnCancel() {
    // An installer that has started runs to its end.
    if (m_step == Step::Downloading || m_step == Step::WaitingForProgram)
        Finish(Outcome::Cancelled);
}

void CUpdateDlg::Finish(Outcome outcome) {
    KillTimer(m_hWnd, kPollTimer);
    m_step = Step::Done;
    m_outcome = outcome;
    EndDialog(static_cast<INT_PTR>(outcome));
}
