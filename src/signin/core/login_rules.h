#pragma once
// What the login dialog decides over plain text: the input checks, the hints
// and what a successful login remembers.
#include <string>

class CSMSSetting;

inline constexpr wchar_t kNumberHint[] = L"请输入带区号号码";
inline constexpr wchar_t kPasswordHint[] = L"请输入密码";

// The first input fault of a login attempt, in the order the user is told.
enum class LoginInputFault {
    None,
    NoNumber,     // empty, or still the hint
    NumberLength, // not 11 characters
    NoAreaCode,   // not starting with "0"
    NoPassword,   // empty, or still the hint
};

LoginInputFault CheckLoginInput(const std::wstring& number, const std::wstring& password);

// The message and caption of a fault, and whether the focus goes to the
// number box (else to the password box).
struct CLoginInputMessage {
    const wchar_t* text;
    const wchar_t* caption;
    bool focusNumber;
};
CLoginInputMessage LoginInputMessage(LoginInputFault fault);

// After a successful login from the login button: the auto-login choice, the
// default user, its password (kept only with auto-login) and the user list,
// where a new number goes to the end and a known one keeps its place.
void RememberUser(CSMSSetting& settings, bool autoLogin, const std::wstring& number,
                  const std::wstring& password);

// The password stored in place of the real one when auto-login is off.
inline constexpr wchar_t kPasswordPlaceholder[] = L"737373";
