#pragma once
#include "model/locked_value.h"

#include <string>

// The signed-in user.
struct CUserSession {
    std::wstring userNumber; // with area code, as typed
    std::wstring password;   // the clear password the login used
    std::wstring sessionId;
    std::wstring skey;
};

// The one live record of the signed-in user. The login procedure and the
// heartbeat worker's silent sign-in write it; the main window and the
// heartbeat read it: any thread.
using CSessionRecord = locked_value<CUserSession>;
