#pragma once
#include <mutex>
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
// heartbeat read it: any thread, always whole copies under its lock.
class CSessionRecord {
public:
    CUserSession Get() const {
        std::lock_guard lock(m_lock);
        return m_session;
    }
    void Set(CUserSession session) {
        std::lock_guard lock(m_lock);
        m_session = std::move(session);
    }

private:
    mutable std::mutex m_lock;
    CUserSession m_session; // guarded by m_lock
};
