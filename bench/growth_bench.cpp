// Heartbeat replies carrying many messages: the session's own heartbeat cycle
// on a worker thread hands each message to a fake page on this thread, as the
// real worker hands them to the main window, against the stand-in service.
// Prints, per size, the median cycle time; then the notice queue's length and
// the private bytes while replies of the largest size keep coming and the
// popup never shows. Usage: growth_bench BASE_URL
#include "protocol/http_client.h"
#include "protocol/service_client.h"
#include "protocol/sign_in.h"
#include "raw_http.h"
#include "session/core/heartbeat_cycle.h"
#include "session/heartbeat_worker.h"
#include "session/tip_dialog.h"
#include "unix_proc.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kUser[] = L"05512345678";
constexpr wchar_t kPassword[] = L"abc123";

struct Plan {
    int messages;
    int cycles;
};
// The empty reply: what a cycle costs before any message. The first plan has
// the most cycles.
constexpr Plan kPlans[] = {{0, 9}, {1, 9}, {100, 7}, {5000, 5}};
constexpr int kMemoryCycles = 12;
constexpr int kMemorySize = 5000;
// Enough notices to pass the popup's queue bound.
constexpr int kQueueCycles = 120;

long g_pageCalls = 0; // the fake page's count: this thread only

LRESULT CALLBACK FakePage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CALL_SCRIPT) {
        const auto& arguments = *reinterpret_cast<const CScriptArguments*>(lParam);
        if (wParam && arguments.size() == kMessageFields) {
            ++g_pageCalls;
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class CBenchHost : public CHeartbeatHost {
public:
    CBenchHost(HWND page, CSessionRecord& session, CTipDlg& tip)
        : m_page(page), m_session(session), m_tip(tip) {}
    bool StopRequested() override { return false; }
    bool Connected() override { return true; }
    void SetOffline(bool) override {}
    CUserSession Session() override { return m_session.Get(); }
    CWorkerSettingValues Settings() override { return {}; }
    void PlayNotificationSound(const std::wstring&) override {}
    void CallPage(const CPageArguments& arguments) override {
        const auto start = std::chrono::steady_clock::now();
        CScriptArguments list(arguments.begin(), arguments.end());
        SendMessageW(m_page, WM_CALL_SCRIPT, reinterpret_cast<WPARAM>(kPutMsg),
                     reinterpret_cast<LPARAM>(&list));
        pageMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }

    double pageMs = 0; // time spent handing messages to the page
    void AddNotice(int type, const std::wstring& text) override { m_tip.AddNotice(type, text, L""); }
    void StartBlink() override { PostMessageW(m_page, WM_START_TRAY_BLINK, 0, 0); }
    void ForcedSignOut() override {}
    bool Relogin() override { return false; }
    void ShowNewSession() override {}

private:
    HWND m_page;
    CSessionRecord& m_session;
    CTipDlg& m_tip;
};

long long PrivateBytes() {
    return ::PrivateBytes(L"Z:\\proc\\self");
}

// The control request that queues n messages for the user's next heartbeat.
std::string QueueRequest(const std::string& host, unsigned short port, int n) {
    std::string body = "{\"user\": \"05512345678\", \"messages\": [";
    for (int i = 0; i < n; ++i) {
        if (i) {
            body += ",";
        }
        const std::string id = std::to_string(i);
        body.append("\"").append(id).append(";13900000000;10:00;message ").append(id).append(";0\"");
    }
    body += "]}";
    std::string request = "POST /control/messages HTTP/1.1\r\nHost: ";
    request += host;
    request.append(":").append(std::to_string(port));
    request += "\r\nContent-Type: application/json\r\nContent-Length: ";
    request += std::to_string(body.size());
    request += "\r\n\r\n";
    return request + body;
}

struct Results {
    std::vector<double> medianMs;     // per plan
    std::vector<double> medianPageMs; // of that, in the page calls
    long long privateAfterFirst = 0, privateAtEnd = 0;
    size_t queueAtEnd = 0;
    long expectedCalls = 0;
    bool failed = false;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void RunPlans(HWND page, CSessionRecord& session, CTipDlg& tip, const std::string& host, unsigned short port,
              Results& results) {
    CBenchHost benchHost(page, session, tip);
    CHeartbeatCycle cycle(benchHost);
    CRawHttp control(host, port);
    auto oneCycle = [&](int n) {
        if (n > 0 && control.Exchange(QueueRequest(host, port, n)) != 200) {
            results.failed = true;
        }
        results.expectedCalls += n;
        benchHost.pageMs = 0;
        const auto start = std::chrono::steady_clock::now();
        cycle.Run();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    // Round after round of every size, so that a burst of other load on the
    // machine falls on all sizes alike.
    std::vector<std::vector<double>> times(std::size(kPlans)), pageTimes(std::size(kPlans));
    for (int round = 0; round < kPlans[0].cycles; ++round) {
        for (size_t i = 0; i < std::size(kPlans); ++i) {
            if (round < kPlans[i].cycles) {
                times[i].push_back(oneCycle(kPlans[i].messages));
                pageTimes[i].push_back(benchHost.pageMs);
            }
        }
    }
    for (size_t i = 0; i < std::size(kPlans); ++i) {
        results.medianMs.push_back(Median(times[i]));
        results.medianPageMs.push_back(Median(pageTimes[i]));
    }
    results.privateAfterFirst = PrivateBytes();
    for (int i = 0; i < kMemoryCycles; ++i) {
        oneCycle(kMemorySize);
    }
    results.privateAtEnd = PrivateBytes();
    for (int i = 0; i < kQueueCycles; ++i) {
        oneCycle(1);
    }
    results.queueAtEnd = tip.QueueLength();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: growth_bench BASE_URL\n");
        return 2;
    }
    const std::string base = argv[1];
    CHttpUrl url;
    ParseHttpUrl(std::wstring(base.begin(), base.end()), url);
    const std::string host(url.host.begin(), url.host.end());
    SetServiceEndpoint(std::wstring(base.begin(), base.end()) + L"/serv/clientservice.asmx");
    const CSignInResult signIn = ExchangeSignIn(kUser, kPassword);
    if (signIn.outcome != SignInOutcome::SignedIn) {
        std::fprintf(stderr, "growth_bench: sign-in failed\n");
        return 1;
    }
    CaptureSessionCookie(signIn.setCookie);
    CSessionRecord session;
    session.Set({kUser, kPassword, signIn.sessionId, signIn.skey});

    WNDCLASSW pageClass{};
    pageClass.lpfnWndProc = FakePage;
    pageClass.hInstance = GetModuleHandleW(nullptr);
    pageClass.lpszClassName = L"GrowthBenchPage";
    RegisterClassW(&pageClass);
    HWND page =
        CreateWindowW(L"GrowthBenchPage", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    // Never created: its queue only fills, as it does while the popup cannot show.
    CTipDlg tip(
        nullptr, [] {}, [] {});

    Results results;
    auto run = [&] { RunPlans(page, session, tip, host, url.port, results); };
    using Run = decltype(run);
    HANDLE thread = CreateThread(
        nullptr, 0, [](void* p) -> DWORD { return (*static_cast<Run*>(p))(), 0; }, &run, 0, nullptr);
    if (!thread) {
        return 1;
    }
    // The fake page answers the worker's sends while it waits.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(thread);
    DeleteServiceClient();

    for (size_t i = 0; i < std::size(kPlans); ++i) {
        std::printf("cycle_ms_%d=%.2f\npage_ms_%d=%.2f\n", kPlans[i].messages, results.medianMs[i],
                    kPlans[i].messages, results.medianPageMs[i]);
    }
    std::printf("page_calls=%ld\nexpected_calls=%ld\n", g_pageCalls, results.expectedCalls);
    std::printf("queue=%zu\nqueue_limit=%zu\n", results.queueAtEnd, CTipDlg::kMaxWaiting);
    std::printf("private_after_first=%lld\nprivate_at_end=%lld\nmemory_cycles=%d\n",
                results.privateAfterFirst, results.privateAtEnd, kMemoryCycles);
    return results.failed || g_pageCalls != results.expectedCalls ? 1 : 0;
}
