#pragma once
#include "release/download_messages.h"

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>

// The download threads of one window, one per URL at a time. Only the
// window's thread calls it; the workers reach the window by SendMessage alone.
// The time text of a response without (or with an unreadable) Last-Modified.
// It is not empty because an empty stored time means "never fetched".
inline constexpr wchar_t kNoModificationTime[] = L"0000-00-00 00:00:00";

class CDownloadSet {
public:
    CDownloadSet();
    CDownloadSet(const CDownloadSet&) = delete;
    CDownloadSet& operator=(const CDownloadSet&) = delete;
    ~CDownloadSet();

    // Starts a worker that reports to window; nothing when url is empty,
    // already running, or there is no window to report to. A body longer
    // than maxBytes is not read: the download ends in an error.
    void Start(HWND window, const std::wstring& url, DWORD maxBytes);
    // Tells every worker to stop and closes its internet handles (which cuts a
    // blocked call short), then waits up to 10 s, answering the messages sent
    // to this thread meanwhile; a worker still running then is terminated.
    void StopAll();
    // True when wParam is the record a worker of this set is sending right
    // now and not yet taken; takes it. A registered message from anywhere else
    // (another thread or process guessing the value) carries no record of ours.
    bool TakeSending(WPARAM wParam);

    // What one download shares with its worker; defined beside the worker.
    struct CJob;

private:
    std::deque<std::unique_ptr<CJob>> m_jobs;
};

// A window (TBase: the framework's dialog class) that downloads files in the
// background and hears about them through the six virtual handlers below.
template <class TBase> class FCDownloadFileWndBase : public TBase {
public:
    template <class... TArgs>
    explicit FCDownloadFileWndBase(TArgs&&... args) : TBase(std::forward<TArgs>(args)...) {}

    // The derived part is gone by now: the handlers are no longer called, and
    // the workers are stopped before the window itself goes.
    ~FCDownloadFileWndBase() override {
        m_destroying = true;
        m_downloads.StopAll();
    }

    // Needs the window; one download per URL at a time, of at most maxBytes.
    void StartDownload(const std::wstring& url, DWORD maxBytes) {
        if (!m_destroying) {
            m_downloads.Start(this->GetSafeHwnd(), url, maxBytes);
        }
    }

protected:
    // Non-zero downloads the file whose Last-Modified text is time (kNoModificationTime
    // when the reply had none); a refusal ends in OnDownError.
    virtual int OnCheckTime(const std::wstring& url, const std::wstring& time) = 0;
    // data holds size bytes and 8 zero bytes behind them, valid during the call only.
    virtual void OnDownFinished(const std::wstring&, const BYTE*, DWORD) {}
    virtual void OnProxyValidate(const std::wstring&, std::wstring&, std::wstring&) {}
    virtual void OnDownError(const std::wstring&) {}
    virtual void OnStartDownload(const std::wstring&) {}
    // total is 0 while the length is unknown.
    virtual void OnDownProgress(const std::wstring&, DWORD, DWORD) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        const CDownloadMessages& ids = DownloadMessages();
        if (message != ids.checkTime && message != ids.downFinished && message != ids.proxyValidate &&
            message != ids.error && message != ids.startDownload && message != ids.progress) {
            return TBase::WindowProc(message, wParam, lParam);
        }
        if (m_destroying || !m_downloads.TakeSending(wParam)) {
            return 0;
        }
        if (message == ids.checkTime) {
            const auto& record = *reinterpret_cast<const CDownloadCheckTime*>(wParam);
            return OnCheckTime(*record.url, *record.time);
        }
        if (message == ids.downFinished) {
            const auto& record = *reinterpret_cast<const CDownloadFinished*>(wParam);
            OnDownFinished(*record.url, record.data, record.size);
        } else if (message == ids.proxyValidate) {
            const auto& record = *reinterpret_cast<const CDownloadProxyValidate*>(wParam);
            OnProxyValidate(*record.url, *record.user, *record.password);
        } else if (message == ids.error) {
            OnDownError(*reinterpret_cast<const std::wstring*>(wParam));
        } else if (message == ids.startDownload) {
            OnStartDownload(*reinterpret_cast<const std::wstring*>(wParam));
        } else {
            const auto& record = *reinterpret_cast<const CDownloadProgress*>(wParam);
            OnDownProgress(*record.url, record.done, record.total);
        }
        return 0;
    }

private:
    CDownloadSet m_downloads;
    // Set by the destructor; read by WindowProc on the same thread.
    bool m_destroying = false;
};
