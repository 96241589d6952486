#include "protocol/reply_fields.h"

#include "protocol/text_cipher.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

const std::wstring kKeyA = L"Ab3dEf7hIj1lMn0p";
const std::wstring kKeyB = L"Zy9xWv8uTs7rQp6o";

} // namespace

TEST(ReplyFields, ParseSplitsPieces) {
    struct Case {
        std::wstring text;
        std::map<std::wstring, std::wstring> fields; // absent ones are checked as empty
        bool seen;
    };
    const Case cases[] = {
        {L"retn=0&sessionid=ab=cd&&SKey=k",
         {{L"retn", L"0"}, {L"sessionid", L"ab=cd"}, {L"skey", L"k"}},
         true},
        {L"retn", {{L"retn", L""}}, false},
        {L"retn=", {{L"retn", L""}}, true},
        {L"RETN=12000", {{L"retn", L"12000"}}, true},
        {L"", {{L"retn", L""}}, false},
        {L"&&&", {{L"retn", L""}}, false},
        {L"=x&retn=0&", {{L"", L"x"}, {L"retn", L"0"}}, true},
        {L"a=1&A=2&a=3", {{L"a", L"3"}}, false},
        {L"retn=0&data=a;b;c;d;e|f;g;h;i;j", {{L"data", L"a;b;c;d;e|f;g;h;i;j"}}, true},
        {L"version=1.0.2.3&Value=CaSe", {{L"version", L"1.0.2.3"}, {L"value", L"CaSe"}}, false},
        {L"名=值&retn=15006", {{L"名", L"值"}, {L"retn", L"15006"}}, true},
    };
    for (const Case& c : cases) {
        CReplyFields reply;
        reply.Parse(c.text);
        EXPECT_EQ(reply.ResultCodeSeen(), c.seen) << c.text;
        for (const auto& [name, value] : c.fields)
            EXPECT_EQ(reply.Field(name), value) << c.text << " / " << name;
    }
}

TEST(ReplyFields, NamesIgnoreCaseValuesDoNot) {
    CReplyFields reply;
    reply.Parse(L"SessionID=AbC&retn=0");
    EXPECT_EQ(reply.Field(L"sessionid"), L"AbC");
    EXPECT_EQ(reply.Field(L"SESSIONID"), L"AbC");
    EXPECT_EQ(reply.ResultCode(), L"0");
    EXPECT_EQ(reply.Field(L"skey"), L"");
}

TEST(ReplyFields, ParseReplacesEarlierContent) {
    CReplyFields reply;
    reply.Parse(L"retn=0&ltoken=T");
    reply.Parse(L"other=1");
    EXPECT_FALSE(reply.ResultCodeSeen());
    EXPECT_EQ(reply.ResultCode(), L"");
    EXPECT_EQ(reply.Field(L"ltoken"), L"");
    EXPECT_EQ(reply.Field(L"other"), L"1");
}

TEST(ReadReply, PrimaryThenFallbackKey) {
    const std::wstring withResult = EncryptText(L"retn=0&skey=S&sessionid=X", kKeyA);
    const std::wstring withoutResult = EncryptText(L"sessionid=X", kKeyA);
    struct Case {
        const char* what;
        std::wstring reply, primary, fallback;
        std::wstring expectedSessionId;
        bool seen;
    };
    const Case cases[] = {
        {"primary key fits", withResult, kKeyA, kKeyB, L"X", true},
        {"primary key fits, no fallback", withResult, kKeyA, L"", L"X", true},
        {"fallback key fits", withResult, kKeyB, kKeyA, L"X", true},
        {"wrong key, no fallback", withResult, kKeyB, L"", L"", false},
        {"neither key fits", withResult, kKeyB, kKeyB, L"", false},
        // No retn under the right key: the second, garbled reading wins.
        {"first reading without result code is discarded", withoutResult, kKeyA, kKeyB, L"", false},
        {"damaged text", L"!!==", kKeyA, kKeyB, L"", false},
        {"empty reply", L"", kKeyA, kKeyB, L"", false},
    };
    for (const Case& c : cases) {
        CReplyFields reply;
        reply.Parse(L"retn=stale&sessionid=stale");
        ReadReply(c.reply, c.primary, c.fallback, reply);
        EXPECT_EQ(reply.ResultCodeSeen(), c.seen) << c.what;
        EXPECT_EQ(reply.ResultCode(), c.seen ? L"0" : L"") << c.what;
        EXPECT_EQ(reply.Field(L"sessionid"), c.expectedSessionId) << c.what;
    }
}

TEST(ResultMessage, Table) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"10000", L"无效命令编号"},
        {L"10001", L"没有数据，用于心跳返回消息"},
        {L"10002", L"同一IP频繁登录"},
        {L"10003", L"解密数据失败"},
        {L"10004", L"程序有更新"},
        {L"10005", L"参数错误"},
        {L"10006", L"无效登录令牌"},
        {L"11000", L"无效账号/密码"},
        {L"11001", L"已注销Velmarin业务"},
        {L"11002", L"暂无可用服务器资源"},
        {L"11003", L"登录号码为公话"},
        {L"11004", L"登录号码不属于合法电信号码"},
        {L"12000", L"同一用户再登录，注销当前用户"},
        {L"15006", L"用户已掉线"},
        {L"17210", L"号码状态不正常"},
        {L"17306", L"号码已被列入黑名单"},
        // Only the leading digits count.
        {L"11001abc", L"已注销Velmarin业务"},
        {L"010000", L"无效命令编号"},
        {L"12000.5", L"同一用户再登录，注销当前用户"},
        // Everything else is unknown.
        {L"0", L"未知错误"},
        {L"00", L"未知错误"},
        {L"", L"未知错误"},
        {L"abc", L"未知错误"},
        {L" 10000", L"未知错误"},
        {L"-10000", L"未知错误"},
        {L"10007", L"未知错误"},
        {L"4294977296", L"未知错误"}, // 2^32 + 10000 must not wrap onto a known code
        {L"99999999999999999999999999", L"未知错误"},
    };
    for (const auto& [code, message] : cases)
        EXPECT_EQ(ResultMessage(code), message) << code;
}
