#include "protocol/command_strings.h"

#include "protocol/text_cipher.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

// Code, key, then Base64 of whole blocks: groups of four, the last possibly padded.
const std::wregex kCommandFormat(
    L"[0-9]{4}[0-9A-Za-z]{16}([A-Za-z0-9+/]{4})*[A-Za-z0-9+/]{2}([A-Za-z0-9+/]{2}|[A-Za-z0-9+/]=|==)");

std::wstring KeyOf(const std::wstring& command) {
    return command.substr(4, 16);
}

} // namespace

TEST(CommandStrings, EachCommandCarriesItsCodeKeyAndParameters) {
    const CCommandContext context(L"075512345678", L"123456");
    const struct {
        std::wstring command, code, parameters;
        bool contextKey = true;
    } cases[] = {
        {BuildTokenRequest(context), L"1000", L"userno=075512345678"},
        // The password is enciphered with the fixed login key first and inserted as Base64.
        {BuildLoginRequest(context, L"TK-9"), L"1002",
         L"userno=075512345678&pass=rCSaT6ccwDLvItXv6ZtuhA==&ltoken=TK-9"},
        {BuildLoginRequest(context, L""), L"1002",
         L"userno=075512345678&pass=rCSaT6ccwDLvItXv6ZtuhA==&ltoken="},
        {BuildPageCommand(context, L"cmd=send&to=1=2&text=你好"), L"1003", L"cmd=send&to=1=2&text=你好"},
        {BuildPageCommand(context, L""), L"1003", L""},
        {BuildLogoutRequest(L"S-42"), L"1004", L"sessionid=S-42", false},
        {BuildVersionRequest(context), L"1005", L"ver"},
        {BuildHeartbeatRequest(L"S-42", context), L"9999", L"sessionid=S-42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(std::regex_match(c.command, kCommandFormat)) << c.command;
        const std::wstring key = KeyOf(c.command);
        EXPECT_EQ(c.command, c.code + key + EncryptText(c.parameters, key));
        EXPECT_EQ(key == context.SessionKey(), c.contextKey);
    }
    EXPECT_NE(KeyOf(BuildLogoutRequest(L"S")), KeyOf(BuildLogoutRequest(L"S")));
}

// Token and login need user number and password, the heartbeat a session id; the rest build from anything.
TEST(CommandStrings, PreconditionsGiveEmptyCommands) {
    const CCommandContext noUser(L"", L"pw"), noPassword(L"075512345678", L""), nothing(L"", L"");
    for (const std::wstring& command :
         {BuildTokenRequest(noUser), BuildTokenRequest(noPassword), BuildLoginRequest(noUser, L"t"),
          BuildLoginRequest(noPassword, L"t"), BuildHeartbeatRequest(L"", noPassword)}) {
        EXPECT_EQ(command, L"");
    }
    for (const std::wstring& command : {BuildHeartbeatRequest(L"S", nothing), BuildVersionRequest(nothing),
                                        BuildPageCommand(nothing, L"a=b")}) {
        EXPECT_TRUE(std::regex_match(command, kCommandFormat)) << command;
    }
}
