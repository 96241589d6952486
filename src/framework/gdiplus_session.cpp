#include "framework/gdiplus_session.h"

#include <mutex>

namespace {

// Started and ended on the user-interface thread; the lock covers a picture
// loaded on another thread all the same.
std::mutex g_lock;

// Owned here, and never destroyed: GDI+ must not shut down from the exit
// handlers, so a session nobody ended is left to the process's end.
unique_gdiplus_token& Session() {
    static auto* session = new unique_gdiplus_token;
    return *session;
}

} // namespace

bool EnsureGdiplusStarted() {
    std::lock_guard lock(g_lock);
    unique_gdiplus_token& session = Session();
    if (!session) {
        session = GdiplusStartupScoped();
    }
    return static_cast<bool>(session);
}

void ShutdownGdiplus() {
    std::lock_guard lock(g_lock);
    Session().reset();
}
