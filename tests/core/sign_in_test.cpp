// The login exchange against the stand-in service, in the shapes a service may answer.
#include "devservice_fixture.h"
#include "protocol/sign_in.h"

#include <gtest/gtest.h>

namespace {

using SignIn = DevServiceTest;

TEST_F(SignIn, SignsInAndHandsBackSessionKeyAndCookie) {
    const CSignInResult result = ExchangeSignIn(L"05512345678", L"abc123");
    ASSERT_EQ(result.outcome, SignInOutcome::SignedIn);
    EXPECT_FALSE(result.sessionId.empty());
    EXPECT_FALSE(result.skey.empty());
    ASSERT_TRUE(result.setCookie.has_value());
    EXPECT_EQ(result.setCookie->rfind(L"ASP.NET_SessionId=", 0), 0u);
}

TEST_F(SignIn, OddButValidRepliesStillSignIn) {
    struct Case {
        const char* options;
        bool skeyExpected;
    };
    const Case cases[] = {
        {R"({"omit_ltoken": true})", true},         // the login goes out with an empty token
        {R"({"login_reply_key": "digest"})", true}, // read again under the password digest
        {R"({"omit_skey": true})", false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Control(L"reset", "{}"));
        ASSERT_TRUE(Control(L"options", c.options));
        const CSignInResult result = ExchangeSignIn(L"05512345678", L"abc123");
        EXPECT_EQ(result.outcome, SignInOutcome::SignedIn) << c.options;
        EXPECT_FALSE(result.sessionId.empty()) << c.options;
        EXPECT_EQ(!result.skey.empty(), c.skeyExpected) << c.options;
    }
}

TEST_F(SignIn, RefusalsCarryTheirCodeAndAMessage) {
    const CSignInResult wrong = ExchangeSignIn(L"05512345678", L"wrong");
    EXPECT_EQ(wrong.outcome, SignInOutcome::LoginRefused);
    EXPECT_EQ(wrong.resultCode, L"11000");
    EXPECT_EQ(wrong.message, L"无效账号/密码");

    // A refused token never shows an empty box: the code's own meaning stands in.
    ASSERT_TRUE(Control(L"force", R"({"code": "1000", "retn": "10005", "count": 1})"));
    const CSignInResult token = ExchangeSignIn(L"05512345678", L"abc123");
    EXPECT_EQ(token.outcome, SignInOutcome::TokenRefused);
    EXPECT_EQ(token.resultCode, L"10005");
    EXPECT_FALSE(token.message.empty());
    const std::vector<LoggedCommand> log = Log();
    ASSERT_EQ(log.size(), 3u) << "a refused token must not lead to a login command";
    EXPECT_EQ(log[2].code, "1000");

    // The service may explain the refusal in a field named after the code.
    ASSERT_TRUE(Control(
        L"force", R"({"code": "1000", "retn": "10005", "count": 1, "fields": {"10005": "服务维护中"}})"));
    EXPECT_EQ(ExchangeSignIn(L"05512345678", L"abc123").message, L"服务维护中");
}

TEST_F(SignIn, AnUnreachableServiceIsASendFailure) {
    SetServiceEndpoint(L"http://127.0.0.1:9/serv/clientservice.asmx");
    const CSignInResult result = ExchangeSignIn(L"05512345678", L"abc123");
    EXPECT_EQ(result.outcome, SignInOutcome::SendFailed);
    EXPECT_TRUE(result.sessionId.empty());
}

} // namespace
