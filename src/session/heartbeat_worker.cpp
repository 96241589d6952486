#include "session/heartbeat_worker.h"

#include "framework/program_files.h"
#include "signin/session_sign_in.h"

#include <mmsystem.h>
#include <wininet.h>

namespace {

constexpr DWORD kPauseMs = 5000;
constexpr wchar_t kCaption[] = L"Velmarin";
constexpr wchar_t kSignedInElsewhere[] = L"您的帐号在另一地点登录，您已被迫下线！";

// The cycle's host on the worker's thread.
class CWindowsHeartbeatHost : public CHeartbeatHost {
public:
    CWindowsHeartbeatHost(const CHeartbeatLinks& links, HANDLE stopEvent)
        : m_links(links), m_stopEvent(stopEvent) {}

    bool StopRequested() override { return WaitForSingleObject(m_stopEvent, 0) != WAIT_TIMEOUT; }

    bool Connected() override {
        DWORD flags = 0;
        return InternetGetConnectedState(&flags, 0) != FALSE;
    }

    void SetOffline(bool offline) override {
        if (!m_links.currentIcon || !m_links.setIcon) {
            return;
        }
        const HICON current = m_links.currentIcon();
        if (offline && current != m_links.offlineIcon) {
            m_links.setIcon(m_links.offlineIcon);
        } else if (!offline && current == m_links.offlineIcon) {
            m_links.setIcon(m_links.normalIcon);
        }
    }

    CUserSession Session() override { return m_links.session->Get(); }
    CWorkerSettingValues Settings() override { return m_links.settings->Get(); }

    void PlayNotificationSound(const std::wstring& path) override {
        PlaySoundW(ResolveInProgramFolder(path).c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
    }

    void CallPage(const CPageArguments& arguments) override {
        if (StopRequested()) {
            return;
        }
        m_links.inbox->PushScriptCall({kPutMsg, CScriptArguments(arguments.begin(), arguments.end())});
        SendMessageW(m_links.mainWindow, WM_CALL_SCRIPT, 0, 0);
    }

    void AddNotice(int type, const std::wstring& text) override {
        if (m_links.addNotice) {
            m_links.addNotice(type, text, L"");
        }
    }

    void StartBlink() override { PostMessageW(m_links.mainWindow, WM_START_TRAY_BLINK, 0, 0); }

    void ForcedSignOut() override {
        MessageBoxW(m_links.mainWindow, kSignedInElsewhere, kCaption, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
        PostThreadMessageW(GetWindowThreadProcessId(m_links.mainWindow, nullptr), WM_QUIT, 0, 0);
    }

    bool Relogin() override {
        const CUserSession current = m_links.session->Get();
        CUserSession fresh;
        const CSignInResult result = SignIn(current.userNumber, current.password, fresh);
        if (result.outcome != SignInOutcome::SignedIn) {
            return false;
        }
        StoreSessionCookie(m_links.settings->Get().appServer);
        m_links.session->Set(fresh);
        return true;
    }

    void ShowNewSession() override {
        if (StopRequested()) {
            return;
        }
        m_links.inbox->PushNavigation(
            IndexPageUrl(m_links.settings->Get().appServer, m_links.session->Get().sessionId));
        SendMessageW(m_links.mainWindow, WM_NAVIGATE_URL, 0, 0);
    }

private:
    const CHeartbeatLinks& m_links; // the worker's; outlives the host
    HANDLE m_stopEvent;             // borrowed from the worker
};

} // namespace

void CWorkerInbox::PushScriptCall(CScriptCall call) {
    std::lock_guard lock(m_lock);
    m_scriptCalls.push_back(std::move(call));
}

void CWorkerInbox::PushNavigation(std::wstring url) {
    std::lock_guard lock(m_lock);
    m_urls.push_back(std::move(url));
}

template <typename T> std::optional<T> CWorkerInbox::TakeFront(std::deque<T>& queue) {
    std::lock_guard lock(m_lock);
    if (queue.empty()) {
        return std::nullopt;
    }
    std::optional<T> front(std::move(queue.front()));
    queue.pop_front();
    return front;
}

std::optional<CScriptCall> CWorkerInbox::TakeScriptCall() {
    return TakeFront(m_scriptCalls);
}

std::optional<std::wstring> CWorkerInbox::TakeNavigation() {
    return TakeFront(m_urls);
}

bool CHeartbeatWorker::Start(CHeartbeatLinks links) {
    if (m_thread || !links.session || !links.settings || !links.inbox) {
        return false;
    }
    m_stopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_stopEvent) {
        return false;
    }
    m_links = std::move(links);
    m_thread.reset(CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
    return static_cast<bool>(m_thread);
}

void CHeartbeatWorker::RequestStop() {
    if (m_stopEvent) {
        SetEvent(m_stopEvent.get());
    }
}

void CHeartbeatWorker::Stop() {
    RequestStop();
    if (!m_thread) {
        return;
    }
    // The worker may be blocked sending this thread a message.
    JoinAnsweringSentMessages(m_thread.get());
    m_thread.reset();
}

DWORD WINAPI CHeartbeatWorker::ThreadMain(void* parameter) {
    const auto& worker = *static_cast<CHeartbeatWorker*>(parameter);
    try {
        CWindowsHeartbeatHost host(worker.m_links, worker.m_stopEvent.get());
        CHeartbeatCycle cycle(host);
        // Five seconds from the end of a cycle, or until the stop event.
        while (cycle.Run() == HeartbeatOutcome::GoOn) {
            if (WaitForSingleObject(worker.m_stopEvent.get(), kPauseMs) != WAIT_TIMEOUT) {
                break;
            }
        }
    } catch (...) {
        // Nothing crosses the thread routine; the session simply goes quiet.
    }
    return 0;
}
