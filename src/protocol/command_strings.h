#pragma once
// The text commands sent through Entry: a four-digit code, the 16-character
// key in clear, then the parameter text enciphered with that key.
#include <string>

// One exchange series (a login, the heartbeat worker, a version query, a page
// command): every command built from it carries the same key.
class CCommandContext {
public:
    CCommandContext(std::wstring userNo, std::wstring password);

    const std::wstring& UserNo() const { return m_userNo; }
    const std::wstring& Password() const { return m_password; }
    const std::wstring& SessionKey() const { return m_sessionKey; }
    const std::wstring& PasswordDigest() const { return m_passwordDigest; }

private:
    std::wstring m_userNo;
    std::wstring m_password;
    std::wstring m_sessionKey;
    std::wstring m_passwordDigest;
};

// Each builder returns the whole command, or an empty string when its
// precondition fails (the caller sends it as it is).

// "1000": needs user number and password.
std::wstring BuildTokenRequest(const CCommandContext& context);
// "1002": needs user number and password; the token may be empty.
std::wstring BuildLoginRequest(const CCommandContext& context, const std::wstring& token);
// "1003": the page's parameter text, unchanged.
std::wstring BuildPageCommand(const CCommandContext& context, const std::wstring& parameters);
// "1004": with a fresh key of its own.
std::wstring BuildLogoutRequest(const std::wstring& sessionId);
// "1005".
std::wstring BuildVersionRequest(const CCommandContext& context);
// "9999": needs a session id.
std::wstring BuildHeartbeatRequest(const std::wstring& sessionId, const CCommandContext& context);
