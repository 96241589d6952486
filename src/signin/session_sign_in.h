#pragma once
// Signs an account in with the service without any window: the login
// procedure's exchange and the heartbeat's silent sign-in again.
#include "model/user_session.h"
#include "protocol/sign_in.h"

#include <string>

// The exchange, then on success the session record and the session cookie
// in the browser's cookie store for appServer + "/#". Shows nothing.
CSignInResult SignIn(const std::wstring& number, const std::wstring& password, const std::wstring& appServer,
                     CUserSession& session);
