#include "protocol/command_strings.h"

#include "protocol/text_cipher.h"

#include <utility>

namespace {

constexpr wchar_t kTokenRequestCode[] = L"1000";
constexpr wchar_t kLoginCode[] = L"1002";
constexpr wchar_t kPageCommandCode[] = L"1003";
constexpr wchar_t kLogoutCode[] = L"1004";
constexpr wchar_t kVersionCode[] = L"1005";
constexpr wchar_t kHeartbeatCode[] = L"9999";

// The password inside the login command is enciphered with this fixed key.
constexpr wchar_t kLoginKey[] = L"w3>qT8sZ!pLx2Jv#";

constexpr wchar_t kUserNoParam[] = L"userno=";
constexpr wchar_t kPassParam[] = L"&pass=";
constexpr wchar_t kTokenParam[] = L"&ltoken=";
constexpr wchar_t kSessionIdParam[] = L"sessionid=";
constexpr wchar_t kVersionParam[] = L"ver";

std::wstring Command(const wchar_t* code, const std::wstring& key, const std::wstring& parameters) {
    return code + key + EncryptText(parameters, key);
}

bool HasCredentials(const CCommandContext& context) {
    return !context.UserNo().empty() && !context.Password().empty();
}

} // namespace

CCommandContext::CCommandContext(std::wstring userNo, std::wstring password)
    : m_userNo(std::move(userNo)), m_password(std::move(password)), m_sessionKey(MakeSessionKey()),
      m_passwordDigest(::PasswordDigest(this->m_password)) {}

std::wstring BuildTokenRequest(const CCommandContext& context) {
    if (!HasCredentials(context)) {
        return {};
    }
    return Command(kTokenRequestCode, context.SessionKey(), kUserNoParam + context.UserNo());
}

std::wstring BuildLoginRequest(const CCommandContext& context, const std::wstring& token) {
    if (!HasCredentials(context)) {
        return {};
    }
    // The enciphered password goes in unescaped, "+", "/" and "=" included.
    const std::wstring parameters = kUserNoParam + context.UserNo() + kPassParam +
                                    EncryptText(context.Password(), kLoginKey) + kTokenParam + token;
    return Command(kLoginCode, context.SessionKey(), parameters);
}

std::wstring BuildPageCommand(const CCommandContext& context, const std::wstring& parameters) {
    return Command(kPageCommandCode, context.SessionKey(), parameters);
}

std::wstring BuildLogoutRequest(const std::wstring& sessionId) {
    return Command(kLogoutCode, MakeSessionKey(), kSessionIdParam + sessionId);
}

std::wstring BuildVersionRequest(const CCommandContext& context) {
    return Command(kVersionCode, context.SessionKey(), kVersionParam);
}

std::wstring BuildHeartbeatRequest(const std::wstring& sessionId, const CCommandContext& context) {
    if (sessionId.empty()) {
        return {};
    }
    return Command(kHeartbeatCode, context.SessionKey(), kSessionIdParam + sessionId);
}
