#include "clientupdate/update_dialog.h"
#include "clientupdate/updater_resource.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cwchar>
#include <iterator>
#include <memory>
#include <new>
#include <utility>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 200;
// The program ends right after starting the updater, slowly under some
// window systems; past this the installer is run and reports what it cannot replace.
constexpr DWORD kProgramEndWaitMs = 30000;
constexpr wchar_t kProgramFile[] = L"Velmarin.exe";
constexpr wchar_t kManifestSuffix[] = L".manifest";
constexpr wchar_t kSignatureSuffix[] = L".manifest.sig";
constexpr DWORD kSignatureBytes = 64;
constexpr DWORD kReadChunk = 64 * 1024;

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The image file of a process, or empty when it cannot be asked.
std::wstring ProcessImage(DWORD id) {
    unique_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) {
        return {};
    }
    wchar_t path[MAX_PATH * 2];
    DWORD size = static_cast<DWORD>(std::size(path));
    return QueryFullProcessImageNameW(process.get(), 0, path, &size) ? std::wstring(path, size)
                                                                     : std::wstring();
}

// Size and SHA-256 of what the file holds now, read through handle from the start.
bool HashFile(HANDLE handle, std::uint64_t& size, CSha256Digest& digest) {
    if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) != 0) {
        return false;
    }
    CSha256 hash;
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kReadChunk]);
    if (!chunk) {
        return false;
    }
    size = 0;
    for (DWORD got = 0;; size += got) {
        if (!ReadFile(handle, chunk.get(), kReadChunk, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        hash.Add(chunk.get(), got);
    }
    digest = hash.Finish();
    return true;
}

} // namespace

bool IsProgramRunning(const std::wstring& imagePath) {
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
        // The name first: only a namesake is worth opening.
        if (_wcsicmp(slash ? slash + 1 : entry.szExeFile, kProgramFile) == 0 &&
            SamePath(ProcessImage(entry.th32ProcessID), imagePath)) {
            return true;
        }
    }
    return false;
}

CUpdateDlg::CUpdateDlg(CUpdateSource source)
    : FCDownloadFileWndBase<CDialog>(IDD_UPDATE), m_source(std::move(source)),
      m_manifestUrl(m_source.installerUrl + kManifestSuffix),
      m_signatureUrl(m_source.installerUrl + kSignatureSuffix) {}

CUpdateDlg::~CUpdateDlg() {
    if (m_installer) {
        WaitForSingleObject(m_installer.get(), INFINITE);
    }
    m_checkedFile.reset();
    if (!m_installerPath.empty()) {
        DeleteFileW(m_installerPath.c_str());
    }
}

bool CUpdateDlg::OnInitDialog() {
    SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETRANGE32, 0, 100);
    StartDownload(m_manifestUrl, kMaxManifestBytes);
    StartDownload(m_signatureUrl, kSignatureBytes);
    return true;
}

void CUpdateDlg::SetStatus(const wchar_t* text) {
    SetDlgItemTextW(m_hWnd, IDC_UPDATE_STATUS, text);
}

void CUpdateDlg::OnDownProgress(const std::wstring& url, DWORD done, DWORD total) {
    if (m_step != Step::Downloading || url != m_source.installerUrl) {
        return;
    }
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
    if (m_step == Step::FetchingManifest) {
        Finish(Outcome::NoManifest);
    } else if (m_step == Step::Downloading) {
        Finish(Outcome::DownloadFailed);
    }
}

void CUpdateDlg::OnDownFinished(const std::wstring& url, const BYTE* data, DWORD size) {
    if (m_step == Step::FetchingManifest && url == m_manifestUrl) {
        m_manifestText.assign(reinterpret_cast<const char*>(data), size);
        m_haveManifest = true;
        ManifestPartArrived();
    } else if (m_step == Step::FetchingManifest && url == m_signatureUrl) {
        m_signature.assign(reinterpret_cast<const char*>(data), size);
        m_haveSignature = true;
        ManifestPartArrived();
    } else if (m_step == Step::Downloading && url == m_source.installerUrl) {
        InstallerArrived(data, size);
    }
}

void CUpdateDlg::ManifestPartArrived() {
    if (!m_haveManifest || !m_haveSignature) {
        return;
    }
    // Nothing of the installer is fetched before its manifest is known to be ours and newer.
    switch (CheckReleaseManifest(m_manifestText, m_signature, m_source.key, m_source.installed, m_manifest)) {
    case ReleaseVerdict::Unsigned:
        Finish(Outcome::Unsigned);
        return;
    case ReleaseVerdict::NotNewer:
        Finish(Outcome::NotNewer);
        return;
    case ReleaseVerdict::Trusted:
        break;
    }
    m_step = Step::Downloading;
    StartDownload(m_source.installerUrl, static_cast<DWORD>(m_manifest.size));
}

void CUpdateDlg::InstallerArrived(const BYTE* data, DWORD size) {
    const Outcome outcome = KeepCheckedInstaller(data, size);
    if (outcome != Outcome::Installed) {
        Finish(outcome);
        return;
    }
    SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETPOS, 100, 0);
    SetStatus(L"正在等待 Velmarin 退出...");
    m_step = Step::WaitingForProgram;
    m_waitStarted = GetTickCount();
    SetTimer(m_hWnd, kPollTimer, kPollMs, nullptr);
}

CUpdateDlg::Outcome CUpdateDlg::KeepCheckedInstaller(const BYTE* data, DWORD size) {
    if (size != m_manifest.size) {
        return Outcome::Unsigned;
    }
    wchar_t folder[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        return Outcome::DownloadFailed;
    }
    wchar_t name[64];
    swprintf(name, 64, L"Velmarin-update-%lu.exe", static_cast<unsigned long>(GetCurrentProcessId()));
    m_installerPath = std::wstring(folder) + name;

    unique_handle writer(CreateFileW(m_installerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (writer.get() == INVALID_HANDLE_VALUE) {
        (void)writer.release();
        return Outcome::DownloadFailed;
    }
    DWORD written = 0;
    const bool whole = WriteFile(writer.get(), data, size, &written, nullptr) && written == size;
    writer.reset();
    if (!whole) {
        return Outcome::DownloadFailed;
    }

    // From here on nobody can write to the file (and an open writer makes
    // this fail); what the hash reads is what the installer process maps.
    HANDLE reader = CreateFileW(m_installerPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (reader == INVALID_HANDLE_VALUE) {
        return Outcome::DownloadFailed;
    }
    m_checkedFile.reset(reader);
    std::uint64_t fileSize = 0;
    CSha256Digest digest{};
    if (!HashFile(reader, fileSize, digest)) {
        return Outcome::DownloadFailed;
    }
    return MatchesManifest(m_manifest, fileSize, digest) ? Outcome::Installed : Outcome::Unsigned;
}

bool CUpdateDlg::OnTimer(UINT_PTR id) {
    if (id != kPollTimer) {
        return false;
    }
    if (m_step == Step::WaitingForProgram) {
        if (!IsProgramRunning(m_source.folder + L"\\" + kProgramFile) ||
            GetTickCount() - m_waitStarted > kProgramEndWaitMs) {
            StartInstaller();
        }
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
    unique_process_information started =
        StartProcess(m_installerPath, L"\"" + m_installerPath + L"\" /S /D=" + m_source.folder);
    const DWORD startError = GetLastError();
    // The image is mapped now (or never will be): the checked file may be let go.
    m_checkedFile.reset();
    if (!started) {
        m_exitCode = startError;
        Finish(Outcome::InstallFailed);
        return;
    }
    m_installer = std::move(started.process);
    m_step = Step::Installing;
}

void CUpdateDlg::OnCancel() {
    // An installer that has started runs to its end.
    if (m_step != Step::Installing && m_step != Step::Done) {
        Finish(Outcome::Cancelled);
    }
}

void CUpdateDlg::Finish(Outcome outcome) {
    KillTimer(m_hWnd, kPollTimer);
    m_step = Step::Done;
    m_outcome = outcome;
    // A refused or unused installer leaves nothing behind.
    if (outcome != Outcome::Installed && outcome != Outcome::InstallFailed) {
        m_checkedFile.reset();
        if (!m_installerPath.empty() && DeleteFileW(m_installerPath.c_str())) {
            m_installerPath.clear();
        }
    }
    EndDialog(static_cast<INT_PTR>(outcome));
}
