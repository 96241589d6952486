#pragma once
// Signs an account in with the service without any window: the login
// procedure's exchange and the heartbeat's silent sign-in again.
#include "model/user_session.h"
#include "protocol/sign_in.h"

#include <string>

// The exchange, then on success the session record and the session cookie
// taken from the reply. Shows nothing.
CSignInResult SignIn(const std::wstring& number, const std::wstring& password, CUserSession& session);

// The last sign-in's session cookie into the browser's cookie store for
// appServer + "/#", for the pages the main window opens. Kept apart from the
// sign-in: the store's library takes a while to load, and only the web view
// made after the main window shows needs it.
void StoreSessionCookie(const std::wstring& appServer);
