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
    const struct {
        std::wstring text;
        std::map<std::wstring, std::wstring> fields; // looked up as written; absent ones read as empty
        bool seen;
    } cases[] = {
        {L"retn=0&sessionid=ab=cd&&SKey=k",
         {{L"Retn", L"0"}, {L"SESSIONID", L"ab=cd"}, {L"skey", L"k"}},
         true},
        {L"retn", {{L"retn", L""}}, false},
        {L"retn=", {{L"retn", L""}}, true},
        {L"RETN=12000&Value=CaSe", {{L"retn", L"12000"}, {L"VALUE", L"CaSe"}}, true},
        {L"", {{L"retn", L""}}, false},
        {L"=x&retn=0&", {{L"", L"x"}, {L"retn", L"0"}}, true},
        {L"a=1&A=2&a=3", {{L"a", L"3"}}, false},
        {L"名=值&retn=15006", {{L"名", L"值"}, {L"retn", L"15006"}}, true},
    };
    CReplyFields reply;
    for (const auto& c : cases) {
        reply.Parse(c.text); // each parse replaces the last one's fields
        EXPECT_EQ(reply.ResultCodeSeen(), c.seen) << c.text;
        EXPECT_EQ(reply.ResultCode(), reply.Field(L"retn")) << c.text;
        for (const auto& [name, value] : c.fields) {
            EXPECT_EQ(reply.Field(name), value) << c.text << " / " << name;
        }
    }
}

TEST(ReadReply, PrimaryThenFallbackKey) {
    const std::wstring withResult = EncryptText(L"retn=0&skey=S&sessionid=X", kKeyA);
    const std::wstring refused = EncryptText(L"retn=11000&sessionid=X", kKeyA);
    const std::wstring withoutResult = EncryptText(L"sessionid=X", kKeyA);
    const struct {
        const char* what;
        std::wstring reply, primary, fallback;
        const wchar_t* code; // nullptr: no result code seen
    } cases[] = {
        {"primary key fits", withResult, kKeyA, kKeyB, L"0"},
        {"fallback key fits", withResult, kKeyB, kKeyA, L"0"},
        // Any result code ends the reading: a refused login keeps its code.
        {"refusal under the primary key is not read again", refused, kKeyA, kKeyB, L"11000"},
        {"refusal under the fallback key", refused, kKeyB, kKeyA, L"11000"},
        {"wrong key, no fallback", withResult, kKeyB, L"", nullptr},
        {"neither key fits", withResult, kKeyB, kKeyB, nullptr},
        // No retn under the right key: the second, garbled reading wins.
        {"first reading without result code is discarded", withoutResult, kKeyA, kKeyB, nullptr},
        {"damaged text", L"!!==", kKeyA, kKeyB, nullptr},
        {"empty reply", L"", kKeyA, kKeyB, nullptr},
    };
    for (const auto& c : cases) {
        CReplyFields reply;
        reply.Parse(L"retn=stale&sessionid=stale");
        ReadReply(c.reply, c.primary, c.fallback, reply);
        EXPECT_EQ(reply.ResultCodeSeen(), c.code != nullptr) << c.what;
        EXPECT_EQ(reply.ResultCode(), c.code ? c.code : L"") << c.what;
        EXPECT_EQ(reply.Field(L"sessionid"), c.code ? L"X" : L"") << c.what;
    }
}

// Every text exactly as the user reads it.
TEST(ResultMessage, EveryCodeHasItsText) {
    const std::map<std::wstring, std::wstring> texts = {
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
    };
    for (const auto& [code, text] : texts) {
        EXPECT_EQ(ResultMessage(code), text) << code;
    }
}

TEST(ResultMessage, LeadingDigitsPickTheMessage) {
    EXPECT_EQ(ResultMessage(L"10000"), L"无效命令编号");
    EXPECT_EQ(ResultMessage(L"010000"), L"无效命令编号");
    EXPECT_EQ(ResultMessage(L"11001"), L"已注销Velmarin业务");
    EXPECT_EQ(ResultMessage(L"11001abc"), L"已注销Velmarin业务");
    // 4294977296 is 2^32 + 10000: it must not wrap onto a known code.
    for (const wchar_t* code :
         {L"0", L"", L"abc", L" 10000", L"-10000", L"10007", L"4294977296", L"99999999999999999999999999"}) {
        EXPECT_EQ(ResultMessage(code), L"未知错误") << code;
    }
}
