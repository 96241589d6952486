// One heartbeat cycle against the stand-in service, with a host that records
// what the cycle asks of the program.
#include "devservice_fixture.h"
#include "protocol/sign_in.h"
#include "session/core/heartbeat_cycle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr wchar_t kUser[] = L"05512345678";
constexpr wchar_t kPassword[] = L"abc123";

class RecordingHost : public CHeartbeatHost {
public:
    bool StopRequested() override { return stop; }
    bool Connected() override { return connected; }
    void SetOffline(bool value) override { offline.push_back(value); }
    CUserSession Session() override { return session; }
    CWorkerSettingValues Settings() override { return settings; }
    void PlayNotificationSound(const std::wstring& path) override { sounds.push_back(path); }
    void CallPage(const CPageArguments& arguments) override { pages.push_back(arguments); }
    void AddNotice(int type, const std::wstring& text) override {
        EXPECT_EQ(type, NOTICE_MESSAGE);
        events.push_back(L"notice " + text);
    }
    void StartBlink() override { events.push_back(L"blink"); }
    void ForcedSignOut() override { events.push_back(L"forced"); }
    bool Relogin() override {
        events.push_back(L"relogin");
        const CSignInResult result = ExchangeSignIn(session.userNumber, session.password);
        if (result.outcome != SignInOutcome::SignedIn) {
            return false;
        }
        session.sessionId = result.sessionId;
        session.skey = result.skey;
        if (exitDuringRelogin) {
            stop = true;
        }
        return true;
    }
    void ShowNewSession() override { events.push_back(L"show " + session.sessionId); }

    std::atomic<bool> stop = false;
    bool connected = true;
    bool exitDuringRelogin = false;
    CUserSession session;
    CWorkerSettingValues settings;
    std::vector<bool> offline;
    std::vector<std::wstring> sounds;
    std::vector<CPageArguments> pages;
    std::vector<std::wstring> events; // notices, blinks, sign-outs, sign-ins, in order
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class HeartbeatCycle : public DevServiceTest {
protected:
    void SetUp() override {
        DevServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        const CSignInResult result = ExchangeSignIn(kUser, kPassword);
        ASSERT_EQ(result.outcome, SignInOutcome::SignedIn);
        m_host.session = {kUser, kPassword, result.sessionId, result.skey};
        m_host.settings.isOpen = true;
        m_host.settings.soundPaths = {L"first.wav", L"second.wav", L"third.wav"};
    }

    // Queues messages given as "id;sender;time;text;kind" pieces.
    void Queue(const std::string& messages) {
        ASSERT_TRUE(Control(L"messages", R"({"user": "05512345678", "messages": [)" + messages + "]}"));
    }

    // The session id named by the last logged command of this code.
    std::string LastSessionId(const std::string& code) {
        CHttpRequest request;
        EXPECT_TRUE(m_control.Exchange(m_base + L"/control/log", request));
        const std::string& body = m_control.Body();
        const size_t entry = body.rfind("\"code\": \"" + code + "\"");
        if (entry == std::string::npos) {
            return {};
        }
        const std::string key = "\"sessionid\": \"";
        const size_t at = body.find(key, entry);
        if (at == std::string::npos) {
            return {};
        }
        return body.substr(at + key.size(), body.find('"', at + key.size()) - at - key.size());
    }

    size_t Commands(const std::string& code) {
        size_t count = 0;
        for (const LoggedCommand& command : Log()) {
            count += command.code == code;
        }
        return count;
    }

    RecordingHost m_host;
};

TEST_F(HeartbeatCycle, NoDataChangesNothing) {
    CHeartbeatCycle cycle(m_host);
    EXPECT_EQ(cycle.Run(), HeartbeatOutcome::GoOn);
    EXPECT_EQ(Commands("9999"), 1u);
    EXPECT_EQ(LastSessionId("9999"), Narrow(m_host.session.sessionId));
    EXPECT_TRUE(m_host.pages.empty());
    EXPECT_TRUE(m_host.sounds.empty());
    EXPECT_TRUE(m_host.events.empty());
}

TEST_F(HeartbeatCycle, MessagesReachThePageInOrderAndOnlyNewOnesAreAnnounced) {
    struct Case {
        const char* messages;
        std::vector<CPageArguments> pages;
        std::vector<std::wstring> events;
    };
    const Case cases[] = {
        {R"(["id1", "13900000000", "10:00", "你好", "0"], ["id2", "139", "10:01", "bye", "4"])",
         {{L"id1", L"0", L"13900000000", L"10:00", L"你好"}, {L"id2", L"4", L"139", L"10:01", L"bye"}},
         {L"notice 您的Velmarin有(1)条新消息！", L"blink"}},
        {R"(["a", "s", "t", "x", "3"], ["b", "s", "t", "y", "4"])",
         {{L"a", L"3", L"s", L"t", L"x"}, {L"b", L"4", L"s", L"t", L"y"}},
         {}},
    };
    for (const Case& c : cases) {
        m_host.pages.clear();
        m_host.events.clear();
        Queue(c.messages);
        CHeartbeatCycle cycle(m_host);
        EXPECT_EQ(cycle.Run(), HeartbeatOutcome::GoOn) << c.messages;
        EXPECT_EQ(m_host.pages, c.pages) << c.messages;
        EXPECT_EQ(m_host.events, c.events) << c.messages;
    }
}

TEST_F(HeartbeatCycle, SoundsFollowTheKindOnlyWhileSoundIsOn) {
    const std::string kinds = R"(["a", "s", "t", "x", "2"], ["b", "s", "t", "x", "3"],)"
                              R"( ["c", "s", "t", "x", "4"], ["d", "s", "t", "x", "7"])";
    Queue(kinds);
    CHeartbeatCycle(m_host).Run();
    EXPECT_EQ(m_host.sounds, (std::vector<std::wstring>{L"first.wav", L"third.wav"}));

    m_host.sounds.clear();
    m_host.settings.isOpen = false;
    Queue(kinds);
    CHeartbeatCycle(m_host).Run();
    EXPECT_EQ(m_host.pages.size(), 8u);
    EXPECT_TRUE(m_host.sounds.empty());
}

TEST_F(HeartbeatCycle, WithoutConnectionNothingIsSent) {
    CHeartbeatCycle cycle(m_host);
    m_host.connected = false;
    EXPECT_EQ(cycle.Run(), HeartbeatOutcome::GoOn);
    EXPECT_EQ(Commands("9999"), 0u);
    m_host.connected = true;
    cycle.Run();
    EXPECT_EQ(Commands("9999"), 1u);
    EXPECT_EQ(m_host.offline, (std::vector<bool>{true, false}));
}

TEST_F(HeartbeatCycle, DroppedSessionIsAnnouncedThenSignedInAgainAndUsedNext) {
    const std::wstring oldSession = m_host.session.sessionId;
    ASSERT_TRUE(Control(L"session", R"({"user": "05512345678", "action": "drop"})"));
    CHeartbeatCycle cycle(m_host);
    EXPECT_EQ(cycle.Run(), HeartbeatOutcome::GoOn);
    ASSERT_NE(m_host.session.sessionId, oldSession);
    EXPECT_EQ(m_host.events, (std::vector<std::wstring>{L"notice 您已经掉线，正在重新登录！", L"relogin",
                                                        L"show " + m_host.session.sessionId}));

    m_host.events.clear();
    EXPECT_EQ(cycle.Run(), HeartbeatOutcome::GoOn);
    EXPECT_EQ(LastSessionId("9999"), Narrow(m_host.session.sessionId));
    EXPECT_TRUE(m_host.events.empty()) << "the new session answers 10001";
}

TEST_F(HeartbeatCycle, SignedInElsewhereSignsOutOnceWithoutLogout) {
    ASSERT_TRUE(Control(L"session", R"({"user": "05512345678", "action": "elsewhere"})"));
    CHeartbeatCycle cycle(m_host);
    EXPECT_EQ(cycle.Run(), HeartbeatOutcome::End);
    EXPECT_EQ(m_host.events, std::vector<std::wstring>{L"forced"});
    EXPECT_EQ(Commands("1004"), 0u);
}

// The exit sets the stop flag, then sends its logout: a heartbeat whose reply
// comes back after that must leave everything as it is and sign nobody in.
TEST_F(HeartbeatCycle, StopDuringTheCallActsOnNothing) {
    const char* setups[] = {"messages", "elsewhere", "drop"};
    for (const std::string setup : setups) {
        m_host.stop = false;
        if (setup == "messages") {
            Queue(R"(["a", "s", "t", "x", "0"])");
        } else {
            ASSERT_TRUE(Control(L"session", R"({"user": "05512345678", "action": ")" + setup + "\"}"));
        }
        ASSERT_TRUE(Control(L"fault", R"({"fault": "delay", "count": 1, "seconds": 1, "code": "9999"})"));
        CHeartbeatCycle cycle(m_host);
        std::thread exit([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            m_host.stop = true;
        });
        EXPECT_EQ(cycle.Run(), HeartbeatOutcome::End) << setup;
        exit.join();
        EXPECT_TRUE(m_host.pages.empty()) << setup;
        EXPECT_TRUE(m_host.sounds.empty()) << setup;
        EXPECT_TRUE(m_host.events.empty()) << setup;
        EXPECT_EQ(Commands("1000"), 1u) << setup << ": only the fixture's sign-in";
    }
}

TEST_F(HeartbeatCycle, ExitDuringTheSilentSignInLogsTheNewSessionOut) {
    ASSERT_TRUE(Control(L"session", R"({"user": "05512345678", "action": "drop"})"));
    m_host.exitDuringRelogin = true;
    CHeartbeatCycle cycle(m_host);
    EXPECT_EQ(cycle.Run(), HeartbeatOutcome::End);
    EXPECT_EQ(m_host.events.back(), L"relogin") << "no page opens for it";
    const std::vector<LoggedCommand> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().code, "1004");
    EXPECT_EQ(LastSessionId("1004"), Narrow(m_host.session.sessionId));
}

} // namespace
