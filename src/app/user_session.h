#pragma once
#include <string>

// The signed-in user. The application object keeps the one live record behind
// its lock: the login procedure on the UI thread and the heartbeat worker's
// silent sign-in write it, the main window and the heartbeat read it.
struct CUserSession {
    std::wstring userNumber; // with area code, as typed
    std::wstring password;   // the clear password the login used
    std::wstring sessionId;
    std::wstring skey;
};
