#pragma once
// The two login exchanges with the service (token request, then login), shared
// by the login dialog and the heartbeat's silent sign-in. No user interface:
// the outcome says what went wrong and what to tell the user.
#include <optional>
#include <string>

enum class SignInOutcome {
    SignedIn,
    SendFailed,   // a call did not go through
    TokenRefused, // the token reply's result code was not "0"
    LoginRefused, // the login reply's result code was not "0", or it was unreadable
};

struct CSignInResult {
    SignInOutcome outcome = SignInOutcome::SendFailed;
    std::wstring resultCode; // of the refusing reply
    std::wstring message;    // the text for the user when refused
    std::wstring sessionId;
    std::wstring skey; // empty when the reply had none
    // The login reply's Set-Cookie, taken under the service lock.
    std::optional<std::wstring> setCookie;
};

// Sends the token request and the login command for one attempt with a fresh
// session key.
CSignInResult ExchangeSignIn(const std::wstring& number, const std::wstring& password);
