#pragma once
#include "framework/dialog.h"
#include "framework/handles.h"
#include "update/download_file_wnd.h"

#include <string>

// The updater's one window: downloads the newest installer, waits for the
// program to end, runs the installer silently over the program folder and
// shows where it is meanwhile.
class CUpdateDlg : public FCDownloadFileWndBase<CDialog> {
public:
    enum class Outcome { Cancelled, DownloadFailed, InstallFailed, Installed };

    // url: the installer on the update server; folder: the program folder.
    CUpdateDlg(std::wstring url, std::wstring folder);
    ~CUpdateDlg() override;

    // Once the modal run has ended.
    Outcome GetOutcome() const { return m_outcome; }
    // The installer's exit code after InstallFailed, else 0.
    DWORD GetInstallerExitCode() const { return m_exitCode; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    bool OnTimer(UINT_PTR id) override;

    int OnCheckTime(const std::wstring&, const std::wstring&) override { return 1; }
    void OnDownFinished(const std::wstring& url, const BYTE* data, DWORD size) override;
    void OnDownError(const std::wstring& url) override;
    void OnDownProgress(const std::wstring& url, DWORD done, DWORD total) override;

private:
    enum class Step { Downloading, WaitingForProgram, Installing, Done };

    void Finish(Outcome outcome);
    void StartInstaller();
    void SetStatus(const wchar_t* text);

    std::wstring m_url;
    std::wstring m_folder;
    // The downloaded installer in the temporary folder; removed when done.
    std::wstring m_installerPath;
    Step m_step = Step::Downloading;
    Outcome m_outcome = Outcome::Cancelled;
    DWORD m_waitStarted = 0;
    unique_handle m_installer;
    DWORD m_exitCode = 0;
};

// True while a process runs whose file name is name (any folder, any case).
bool IsProcessRunning(const wchar_t* name);
