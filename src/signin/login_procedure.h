#pragma once
// The login dialog's sign-in (its button and auto-login): the duplicate check
// and the user's messages around SignIn.
#include "model/user_session.h"
#include "signin/session_sign_in.h"

#include <windows.h>

#include <string>

// SignIn behind the duplicate check, telling every failure in a message box
// owned by owner. True only when session is filled.
bool Login(HWND owner, const std::wstring& number, const std::wstring& password, CUserSession& session);
