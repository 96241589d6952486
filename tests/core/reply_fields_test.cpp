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
        for (const auto& [name, value] : c.fields)
            EXPECT_EQ(reply.Field(name), value) << c.text << " / " << name;
    }
}

TEST(ReadReply, PrimaryThenFallbackKey) {
    const std::wstring withResult = EncryptText(L"retn=0&skey=S&sessionid=X", kKeyA);
    const std::wstring withoutResult = EncryptText(L"sessionid=X", kKeyA);
    const struct {
        const char* what;
        std::wstring reply, primary, fallback;
        bool read;
    } cases[] = {
        {"primary key fits", withResult, kKeyA, kKeyB, true},
        {"fallback key fits", withResult, kKeyB, kKeyA, true},
        {"wrong key, no fallback", withResult, kKeyB, L"", false},
        {"neither key fits", withResult, kKeyB, kKeyB, false},
        // No retn under the right key: the second, garbled reading wins.
        {"first reading without result code is discarded", withoutResult, kKeyA, kKeyB, false},
        {"damaged text", L"!!==", kKeyA, kKeyB, false},
        {"empty reply", L"", kKeyA, kKeyB, false},
    };
    for (const auto& c : cases) {
        CReplyFields reply;
        reply.Parse(L"retn=stale&sessionid=stale");
        ReadReply(c.reply, c.primary, c.fallback, reply);
        EXPECT_EQ(reply.ResultCodeSeen(), c.read) << c.what;
        EXPECT_EQ(reply.ResultCode(), c.read ? L"0" : L"") << c.what;
        EXPECT_EQ(reply.Field(L"sessionid"), c.read ? L"X" : L"") << c.what;
    }
}

TEST(ResultMessage, LeadingDigitsPickTheMessage) {
    EXPECT_EQ(ResultMessage(L"10000"), L"无效命令编号");
    EXPECT_EQ(ResultMessage(L"010000"), L"无效命令编号");
    EXPECT_EQ(ResultMessage(L"11001"), L"已注销Velmarin业务");
    EXPECT_EQ(ResultMessage(L"11001abc"), L"已注销Velmarin业务");
    // 4294977296 is 2^32 + 10000: it must not wrap onto a known code.
    for (const wchar_t* code :
         {L"0", L"", L"abc", L" 10000", L"-10000", L"10007", L"4294977296", L"99999999999999999999999999"})
        EXPECT_EQ(ResultMessage(code), L"未知错误") << code;
}
