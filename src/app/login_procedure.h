#pragma once
// Signs an account in with the service: the login dialog's button and
// auto-login, and the heartbeat's silent sign-in.
#include "app/user_session.h"
#include "protocol/sign_in.h"

#include <windows.h>

#include <string>

// The exchange, then on success the session record and the session cookie
// in the browser's cookie store for appServer + "/#". Shows nothing.
CSignInResult SignIn(const std::wstring& number, const std::wstring& password, const std::wstring& appServer,
                     CUserSession& session);

// SignIn behind the duplicate check, telling every failure in a message box
// owned by owner. True only when session is filled.
bool Login(HWND owner, const std::wstring& number, const std::wstring& password,
           const std::wstring& appServer, CUserSession& session);
