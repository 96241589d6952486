// CallEntry against the stand-in service that the test runner starts and names
// in VELMARIN_DEVSERVICE (host:port): a whole session as the program sends it.
#include "devservice_fixture.h"
#include "protocol/command_strings.h"
#include "protocol/http_client.h"
#include "protocol/reply_fields.h"
#include "protocol/service_client.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using ServiceIntegration = DevServiceTest;

TEST_F(ServiceIntegration, WholeSessionCarriesTheCookie) {
    ASSERT_TRUE(Control(
        L"messages",
        R"({"user": "05512345678", "messages": [["7", "13900000000", "2026-12-07 10:00:00", "hello", "1"]]})"));

    CCommandContext login(L"05512345678", L"abc123");
    CReplyFields token = SendEntry(BuildTokenRequest(login), login.SessionKey());
    ASSERT_EQ(token.ResultCode(), L"0");
    CReplyFields signedIn = SendEntry(BuildLoginRequest(login, token.Field(L"ltoken")), login.SessionKey());
    ASSERT_EQ(signedIn.ResultCode(), L"0");
    ASSERT_TRUE(CaptureSessionCookie());
    const std::wstring sessionId = signedIn.Field(L"sessionid");
    const std::wstring skey = signedIn.Field(L"skey");
    EXPECT_FALSE(sessionId.empty());
    EXPECT_EQ(SessionCookie().rfind(L"ASP.NET_SessionId=", 0), 0u);

    CCommandContext heartbeat(L"05512345678", L"abc123");
    CReplyFields first = SendEntry(BuildHeartbeatRequest(sessionId, heartbeat), skey, heartbeat.SessionKey());
    EXPECT_EQ(first.ResultCode(), L"0");
    EXPECT_NE(first.Field(L"data").find(L"hello"), std::wstring::npos);
    CReplyFields second =
        SendEntry(BuildHeartbeatRequest(sessionId, heartbeat), skey, heartbeat.SessionKey());
    EXPECT_EQ(second.ResultCode(), L"10001");

    CCommandContext version(L"05512345678", L"abc123");
    CReplyFields newest = SendEntry(BuildVersionRequest(version), skey, version.SessionKey());
    EXPECT_EQ(newest.ResultCode(), L"0");
    EXPECT_FALSE(newest.Field(L"version").empty());

    std::wstring reply;
    EXPECT_TRUE(CallEntry(BuildLogoutRequest(sessionId), reply));

    const std::vector<LoggedCommand> log = Log();
    std::vector<std::string> codes;
    for (const LoggedCommand& c : log) {
        codes.push_back(c.code);
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"1000", "1002", "9999", "9999", "1005", "1004"}));
    ASSERT_EQ(log.size(), 6u);
    EXPECT_FALSE(log[0].withCookie) << "the first request of a fresh client has no cookie";
    for (size_t i = 2; i < log.size(); ++i) {
        EXPECT_TRUE(log[i].withCookie) << "command " << log[i].code << " came without the session cookie";
    }
}

TEST_F(ServiceIntegration, WrongPasswordIsRefusedByTheService) {
    CCommandContext login(L"05512345678", L"wrong");
    CReplyFields token = SendEntry(BuildTokenRequest(login), login.SessionKey());
    CReplyFields refused = SendEntry(BuildLoginRequest(login, token.Field(L"ltoken")), login.SessionKey());
    EXPECT_EQ(refused.ResultCode(), L"11000");
}

TEST_F(ServiceIntegration, TwoThreadsShareTheClient) {
    constexpr int kCalls = 20;
    int succeeded[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            CCommandContext context(L"05512345678", L"abc123");
            for (int i = 0; i < kCalls; ++i) {
                std::wstring reply;
                CReplyFields fields;
                if (CallEntry(BuildVersionRequest(context), reply)) {
                    ReadReply(reply, context.SessionKey(), L"", fields);
                    succeeded[t] += fields.ResultCode() == L"0";
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(succeeded[0], kCalls);
    EXPECT_EQ(succeeded[1], kCalls);
}

TEST_F(ServiceIntegration, ServerFaultsFailTheCallAndTheNextCallRecovers) {
    CCommandContext context(L"05512345678", L"abc123");
    for (const char* fault : {"close_mid_header", "close_mid_body", "status_500", "malformed_xml"}) {
        ASSERT_TRUE(Control(L"fault", std::string("{\"fault\": \"") + fault + "\", \"count\": 1}"));
        std::wstring reply;
        EXPECT_FALSE(CallEntry(BuildVersionRequest(context), reply)) << fault;
        EXPECT_TRUE(reply.empty()) << fault;
        EXPECT_TRUE(CallEntry(BuildVersionRequest(context), reply)) << "after " << fault;
    }
    for (const char* shape : {"connection_close", "chunked", "interim_100", "redirect"}) {
        ASSERT_TRUE(Control(L"fault", std::string("{\"fault\": \"") + shape + "\", \"count\": 1}"));
        std::wstring reply;
        EXPECT_TRUE(CallEntry(BuildVersionRequest(context), reply)) << shape;
        CReplyFields fields;
        ReadReply(reply, context.SessionKey(), L"", fields);
        EXPECT_EQ(fields.ResultCode(), L"0") << shape;
    }
}

} // namespace
