#include "signin/session_sign_in.h"

#include "protocol/service_client.h"

#include <windows.h>
#include <wininet.h>

namespace {

constexpr wchar_t kCookieUrlSuffix[] = L"/#";

} // namespace

CSignInResult SignIn(const std::wstring& number, const std::wstring& password, CUserSession& session) {
    CSignInResult result = ExchangeSignIn(number, password);
    if (result.outcome != SignInOutcome::SignedIn) {
        return result;
    }
    session = {number, password, result.sessionId, result.skey};
    CaptureSessionCookie(result.setCookie);
    return result;
}

void StoreSessionCookie(const std::wstring& appServer) {
    // The pages the main window opens go out as this session.
    const std::wstring url = appServer + kCookieUrlSuffix;
    InternetSetCookieW(url.c_str(), nullptr, SessionCookie().c_str());
}
