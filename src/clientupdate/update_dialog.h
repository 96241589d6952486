#pragma once
#include "framework/dialog.h"
#include "framework/handles.h"
#include "release/core/release_check.h"
#include "release/download_file_wnd.h"

#include <string>

// Where an update comes from and what it must beat.
struct CUpdateSource {
    // The installer on the update server; its manifest and signature lie beside it.
    std::wstring installerUrl;
    // The program folder, without a trailing "\".
    std::wstring folder;
    CReleasePublicKey key{};
    // The installed program's own version resource.
    CReleaseVersion installed{};
};

// The updater's one window: fetches the signed manifest, then the installer it
// describes, waits for the program to end, runs the installer silently over
// the program folder and shows where it is meanwhile. Nothing runs that our
// key did not sign.
class CUpdateDlg : public FCDownloadFileWndBase<CDialog> {
public:
    enum class Outcome {
        Cancelled,
        NoManifest,
        Unsigned,
        NotNewer,
        DownloadFailed,
        InstallFailed,
        Installed
    };

    explicit CUpdateDlg(CUpdateSource source);
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
    enum class Step { FetchingManifest, Downloading, WaitingForProgram, Installing, Done };

    void ManifestPartArrived();
    void InstallerArrived(const BYTE* data, DWORD size);
    // Writes the installer, then holds it open against writers and checks what it holds.
    Outcome KeepCheckedInstaller(const BYTE* data, DWORD size);
    void Finish(Outcome outcome);
    void StartInstaller();
    void SetStatus(const wchar_t* text);

    const CUpdateSource m_source;
    const std::wstring m_manifestUrl;
    const std::wstring m_signatureUrl;
    std::string m_manifestText;
    std::string m_signature;
    bool m_haveManifest = false;
    bool m_haveSignature = false;
    CReleaseManifest m_manifest;
    // The downloaded installer in the temporary folder; removed when done.
    std::wstring m_installerPath;
    // Read-only and denying writers, from the check until the installer has started.
    unique_handle m_checkedFile;
    Step m_step = Step::FetchingManifest;
    Outcome m_outcome = Outcome::Cancelled;
    DWORD m_waitStarted = 0;
    unique_handle m_installer;
    DWORD m_exitCode = 0;
};

// True while a process runs from exactly this executable file (any case).
bool IsProgramRunning(const std::wstring& imagePath);
