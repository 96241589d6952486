#pragma once
// Replies of the service: deciphered text of "name=value" pairs joined by "&".
#include <map>
#include <string>

// The fields of one reply; names compare without regard to case.
class CReplyFields {
public:
    // Replaces the content with the fields of a plain (deciphered) text.
    void Parse(const std::wstring& text);
    // The value, or an empty string when the field is absent.
    std::wstring Field(const std::wstring& name) const;
    // The "retn" field: "0" is success, anything else (empty included) a failure.
    std::wstring ResultCode() const;
    // Whether the last parsed text had a "retn" field, even an empty one.
    bool ResultCodeSeen() const { return m_resultCodeSeen; }

private:
    std::map<std::wstring, std::wstring> m_fields; // keys lower-cased
    bool m_resultCodeSeen = false;
};

// Deciphers with the primary key; if that shows no result code and a fallback
// key is given (non-empty), reads the reply again with the fallback key.
void ReadReply(const std::wstring& reply, const std::wstring& primaryKey, const std::wstring& fallbackKey,
               CReplyFields& fields);

// The user message for a result code; unknown codes give "未知错误".
std::wstring ResultMessage(const std::wstring& code);
