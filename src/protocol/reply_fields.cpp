#include "protocol/reply_fields.h"

#include "protocol/text_cipher.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

constexpr wchar_t kResultField[] = L"retn";
constexpr wchar_t kFieldSeparator = L'&';
constexpr wchar_t kValueSeparator = L'=';

struct ResultText {
    uint32_t code;
    const wchar_t* message;
};

constexpr ResultText kResultTexts[] = {
    {10000, L"无效命令编号"},
    {10001, L"没有数据，用于心跳返回消息"},
    {10002, L"同一IP频繁登录"},
    {10003, L"解密数据失败"},
    {10004, L"程序有更新"},
    {10005, L"参数错误"},
    {10006, L"无效登录令牌"},
    {11000, L"无效账号/密码"},
    {11001, L"已注销Velmarin业务"},
    {11002, L"暂无可用服务器资源"},
    {11003, L"登录号码为公话"},
    {11004, L"登录号码不属于合法电信号码"},
    {12000, L"同一用户再登录，注销当前用户"},
    {15006, L"用户已掉线"},
    {17210, L"号码状态不正常"},
    {17306, L"号码已被列入黑名单"},
};
constexpr wchar_t kUnknownResult[] = L"未知错误";

// Field names are ASCII; lower-casing only ASCII keeps both builds and every locale alike.
std::wstring AsciiLower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

// The leading decimal digits as a number; none reads as 0. Runs of digits too
// long for any code saturate, so they fall outside the table instead of wrapping.
uint32_t LeadingNumber(const std::wstring& text) {
    constexpr uint32_t kSaturated = 0xffffffff;
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            break;
        }
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value >= kSaturated) {
            return kSaturated;
        }
    }
    return static_cast<uint32_t>(value);
}

} // namespace

void CReplyFields::Parse(const std::wstring& text) {
    m_fields.clear();
    m_resultCodeSeen = false;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(text.find(kFieldSeparator, start), text.size());
        const std::wstring piece = text.substr(start, end - start);
        const size_t equals = piece.find(kValueSeparator);
        if (equals != std::wstring::npos) {
            const std::wstring name = AsciiLower(piece.substr(0, equals));
            if (name == kResultField) {
                m_resultCodeSeen = true;
            }
            m_fields[name] = piece.substr(equals + 1);
        }
        if (end == text.size()) {
            break;
        }
        start = end + 1;
    }
}

std::wstring CReplyFields::Field(const std::wstring& name) const {
    const auto found = m_fields.find(AsciiLower(name));
    return found == m_fields.end() ? std::wstring() : found->second;
}

std::wstring CReplyFields::ResultCode() const {
    return Field(kResultField);
}

void ReadReply(const std::wstring& reply, const std::wstring& primaryKey, const std::wstring& fallbackKey,
               CReplyFields& fields) {
    fields.Parse(DecryptText(reply, primaryKey));
    if (!fields.ResultCodeSeen() && !fallbackKey.empty()) {
        fields.Parse(DecryptText(reply, fallbackKey));
    }
}

std::wstring ResultMessage(const std::wstring& code) {
    const uint32_t number = LeadingNumber(code);
    const auto found = std::find_if(std::begin(kResultTexts), std::end(kResultTexts),
                                    [number](const ResultText& entry) { return entry.code == number; });
    return found == std::end(kResultTexts) ? kUnknownResult : found->message;
}
