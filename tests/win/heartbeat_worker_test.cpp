// The heartbeat worker's thread against the stand-in service, with a window
// of this thread standing in for the main window.
#include "../core/devservice_fixture.h"
#include "protocol/sign_in.h"
#include "pump_until.h"
#include "session/heartbeat_worker.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A cycle against the stand-in, with room for a slow machine.
constexpr DWORD kCycleWaitMs = 15000;

constexpr wchar_t kUser[] = L"05512345678";
constexpr wchar_t kPassword[] = L"abc123";
const HICON kNormalIcon = reinterpret_cast<HICON>(static_cast<INT_PTR>(121));
const HICON kOfflineIcon = reinterpret_cast<HICON>(static_cast<INT_PTR>(120));

// What the main window would get, through its inbox.
struct MainWindowRecord {
    CWorkerInbox inbox;
    std::vector<std::wstring> functions;
    std::vector<CScriptArguments> calls;
    std::vector<std::wstring> urls;
    int blinks = 0;
};

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* record = reinterpret_cast<MainWindowRecord*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_CALL_SCRIPT:
        if (auto call = record->inbox.TakeScriptCall()) {
            record->functions.push_back(call->function);
            record->calls.push_back(call->arguments);
        }
        return 0;
    case WM_NAVIGATE_URL:
        if (auto url = record->inbox.TakeNavigation()) {
            record->urls.push_back(*url);
        }
        return 0;
    case WM_START_TRAY_BLINK:
        ++record->blinks;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

ULONGLONG MillisecondsOf(const std::function<void()>& action) {
    const ULONGLONG start = GetTickCount64();
    action();
    return GetTickCount64() - start;
}

class HeartbeatWorker : public DevServiceTest {
protected:
    void SetUp() override {
        DevServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        const CSignInResult result = ExchangeSignIn(kUser, kPassword);
        ASSERT_EQ(result.outcome, SignInOutcome::SignedIn);
        m_session.Set({kUser, kPassword, result.sessionId, result.skey});
        m_settings.Set({m_base, false, {}});

        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = MainWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"HeartbeatWorkerTestMain";
        RegisterClassW(&windowClass);
        m_window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        ASSERT_TRUE(m_window);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_record));
    }
    void TearDown() override {
        m_worker.Stop();
        if (m_window) {
            DestroyWindow(m_window);
        }
        DevServiceTest::TearDown();
    }

    CHeartbeatLinks Links() {
        CHeartbeatLinks links;
        links.mainWindow = m_window;
        links.inbox = &m_record.inbox;
        links.session = &m_session;
        links.settings = &m_settings;
        links.normalIcon = kNormalIcon;
        links.offlineIcon = kOfflineIcon;
        links.currentIcon = [this] {
            std::lock_guard lock(m_shared);
            return m_icon;
        };
        links.setIcon = [this](HICON value) {
            std::lock_guard lock(m_shared);
            m_icon = value;
            return true;
        };
        links.addNotice = [this](int type, const std::wstring& text, const std::wstring&) {
            std::lock_guard lock(m_shared);
            m_notices.push_back(std::to_wstring(type) + L" " + text);
        };
        return links;
    }

    void Queue(const std::string& messages) {
        ASSERT_TRUE(Control(L"messages", R"({"user": "05512345678", "messages": [)" + messages + "]}"));
    }
    // Blocks (without answering messages) until the service has logged a heartbeat.
    void AwaitHeartbeat() { ASSERT_TRUE(Control(L"wait", R"({"code": "9999", "count": 1, "timeout": 10})")); }

    std::vector<std::wstring> Notices() {
        std::lock_guard lock(m_shared);
        return m_notices;
    }

    CSessionRecord m_session;
    CWorkerSettings m_settings;
    HWND m_window = nullptr;
    MainWindowRecord m_record; // touched on this thread only
    std::mutex m_shared;       // guards icon and notices, written by the worker
    HICON m_icon = kOfflineIcon;
    std::vector<std::wstring> m_notices;
    CHeartbeatWorker m_worker;
};

TEST_F(HeartbeatWorker, StopEndsAnIdleWorkerAtOnce) {
    ASSERT_TRUE(m_worker.Start(Links()));
    EXPECT_FALSE(m_worker.Start(Links())) << "one worker per object";
    AwaitHeartbeat();
    Sleep(200);
    EXPECT_LT(MillisecondsOf([&] { m_worker.Stop(); }), 1000u);
    std::lock_guard lock(m_shared);
    EXPECT_EQ(m_icon, kNormalIcon) << "a connection turns the offline icon back to normal";
}

TEST_F(HeartbeatWorker, StopAnswersTheWorkerBlockedSendingToThisThread) {
    Queue(R"(["a", "s", "t", "x", "0"], ["b", "s", "t", "y", "0"])");
    ASSERT_TRUE(m_worker.Start(Links()));
    AwaitHeartbeat();
    const ULONGLONG end = GetTickCount64() + 5000;
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && GetTickCount64() < end) {
        Sleep(10);
    }
    ASSERT_TRUE(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) << "the worker never sent";
    EXPECT_LT(MillisecondsOf([&] { m_worker.Stop(); }), 1000u);
    // The call it was blocked in was answered; the second message is not sent after the stop.
    EXPECT_EQ(m_record.calls.size(), 1u);
    EXPECT_TRUE(Notices().empty());
}

TEST_F(HeartbeatWorker, MessagesReachTheWindowInOrderAndAreAnnounced) {
    Queue(R"(["id1", "139", "10:00", "你好", "0"], ["id2", "138", "10:01", "bye", "4"],)"
          R"( ["id3", "137", "10:02", "again", "1"])");
    ASSERT_TRUE(m_worker.Start(Links()));
    ASSERT_TRUE(PumpUntil([&] { return m_record.calls.size() == 3 && m_record.blinks == 1; }, kCycleWaitMs));
    EXPECT_EQ(m_record.functions, (std::vector<std::wstring>(3, L"putMsg")));
    EXPECT_EQ(m_record.calls, (std::vector<CScriptArguments>{{L"id1", L"0", L"139", L"10:00", L"你好"},
                                                             {L"id2", L"4", L"138", L"10:01", L"bye"},
                                                             {L"id3", L"1", L"137", L"10:02", L"again"}}));
    EXPECT_EQ(Notices(), std::vector<std::wstring>{L"0 您的Velmarin有(2)条新消息！"});
}

TEST_F(HeartbeatWorker, DroppedSessionSignsInAgainAndReopensThePage) {
    const std::wstring oldSession = m_session.Get().sessionId;
    ASSERT_TRUE(Control(L"session", R"({"user": "05512345678", "action": "drop"})"));
    ASSERT_TRUE(m_worker.Start(Links()));
    ASSERT_TRUE(PumpUntil([&] { return !m_record.urls.empty(); }, kCycleWaitMs));
    const CUserSession fresh = m_session.Get();
    EXPECT_NE(fresh.sessionId, oldSession);
    EXPECT_EQ(fresh.userNumber, kUser);
    EXPECT_EQ(m_record.urls,
              std::vector<std::wstring>{m_base + L"/chat/clientindex.aspx?kptsessionid=" + fresh.sessionId});
    EXPECT_EQ(Notices(), std::vector<std::wstring>{L"0 您已经掉线，正在重新登录！"});
}

} // namespace
