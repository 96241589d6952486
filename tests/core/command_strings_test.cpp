#include "protocol/command_strings.h"

#include "protocol/text_cipher.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>

namespace {

// Base64 of whole blocks: groups of four, the last possibly padded.
const std::wregex kCommandFormat(
    L"[0-9]{4}[0-9A-Za-z]{16}([A-Za-z0-9+/]{4})*[A-Za-z0-9+/]{2}([A-Za-z0-9+/]{2}|[A-Za-z0-9+/]=|==)");

struct Parts {
    std::wstring code, key, cipher;
};

Parts Split(const std::wstring& command) {
    return {command.substr(0, 4), command.substr(4, 16), command.substr(20)};
}

// The command must be exactly code + key + EncryptText(parameters, key).
void ExpectCommand(const std::wstring& command, const std::wstring& code, const std::wstring& parameters) {
    ASSERT_TRUE(std::regex_match(command, kCommandFormat)) << command;
    const Parts parts = Split(command);
    EXPECT_EQ(parts.code, code);
    EXPECT_EQ(parts.cipher, EncryptText(parameters, parts.key)) << code;
    EXPECT_EQ(DecryptText(parts.cipher, parts.key), parameters) << code;
}

} // namespace

TEST(CommandContext, KeepsOneKeyAndTheDigest) {
    const CCommandContext context(L"075512345678", L"123456");
    EXPECT_EQ(context.PasswordDigest(), L"49BA59ABBE56E057");
    EXPECT_TRUE(std::regex_match(context.SessionKey(), std::wregex(L"[0-9A-Za-z]{16}")));
    EXPECT_NE(CCommandContext(L"075512345678", L"123456").SessionKey(), context.SessionKey());
}

TEST(CommandStrings, EachCommandCarriesItsCodeKeyAndParameters) {
    const CCommandContext context(L"075512345678", L"123456");
    struct Case {
        std::function<std::wstring()> build;
        std::wstring code, parameters;
        bool contextKey;
    };
    const Case cases[] = {
        {[&] { return BuildTokenRequest(context); }, L"1000", L"userno=075512345678", true},
        // The password is enciphered with the fixed login key first and inserted as Base64.
        {[&] { return BuildLoginRequest(context, L"TK-9"); }, L"1002",
         L"userno=075512345678&pass=rCSaT6ccwDLvItXv6ZtuhA==&ltoken=TK-9", true},
        {[&] { return BuildLoginRequest(context, L""); }, L"1002",
         L"userno=075512345678&pass=rCSaT6ccwDLvItXv6ZtuhA==&ltoken=", true},
        {[&] { return BuildPageCommand(context, L"cmd=send&to=1=2&text=你好"); }, L"1003",
         L"cmd=send&to=1=2&text=你好", true},
        {[&] { return BuildPageCommand(context, L""); }, L"1003", L"", true},
        {[&] { return BuildLogoutRequest(L"S-42"); }, L"1004", L"sessionid=S-42", false},
        {[&] { return BuildLogoutRequest(L""); }, L"1004", L"sessionid=", false},
        {[&] { return BuildVersionRequest(context); }, L"1005", L"ver", true},
        {[&] { return BuildHeartbeatRequest(L"S-42", context); }, L"9999", L"sessionid=S-42", true},
    };
    for (const Case& c : cases) {
        const std::wstring command = c.build();
        ExpectCommand(command, c.code, c.parameters);
        if (c.contextKey)
            EXPECT_EQ(Split(command).key, context.SessionKey()) << c.code;
        else
            EXPECT_NE(Split(command).key, context.SessionKey()) << c.code;
    }
}

TEST(CommandStrings, LoginPasswordsWithLongAndChineseText) {
    struct Case {
        std::wstring password, enciphered;
    };
    const Case cases[] = {
        {L"密码abc", L"IPx6M2h9Ou/lDwoc2k22Yw=="},
        {L"abcdefghijklmnopq", L"uhgm75LFFRvus6psJyOmbpcZR6RRLgtGD+iFmupc3kU="},
    };
    for (const Case& c : cases) {
        const CCommandContext context(L"02087654321", c.password);
        ExpectCommand(BuildLoginRequest(context, L"t"), L"1002",
                      L"userno=02087654321&pass=" + c.enciphered + L"&ltoken=t");
    }
}

TEST(CommandStrings, LogoutMakesAFreshKeyEachTime) {
    EXPECT_NE(Split(BuildLogoutRequest(L"S")).key, Split(BuildLogoutRequest(L"S")).key);
}

TEST(CommandStrings, PreconditionsGiveEmptyCommands) {
    const CCommandContext noUser(L"", L"pw");
    const CCommandContext noPassword(L"075512345678", L"");
    const CCommandContext nothing(L"", L"");
    struct Case {
        const char* what;
        std::wstring command;
        bool empty;
    };
    const Case cases[] = {
        {"token without user", BuildTokenRequest(noUser), true},
        {"token without password", BuildTokenRequest(noPassword), true},
        {"login without user", BuildLoginRequest(noUser, L"t"), true},
        {"login without password", BuildLoginRequest(noPassword, L"t"), true},
        {"heartbeat without session id", BuildHeartbeatRequest(L"", noPassword), true},
        {"heartbeat on empty context", BuildHeartbeatRequest(L"S", nothing), false},
        {"version on empty context", BuildVersionRequest(nothing), false},
        {"page command on empty context", BuildPageCommand(nothing, L"a=b"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.command.empty(), c.empty) << c.what;
}
