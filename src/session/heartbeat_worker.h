#pragma once
// The heartbeat worker: the session's one background thread, which runs a
// heartbeat cycle about every five seconds and reaches the main window only
// through the messages below and the callbacks it is given.
#include "framework/handles.h"
#include "model/user_session.h"
#include "protocol/index_page.h"
#include "session/core/heartbeat_cycle.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Sent to the main window when the worker has queued a script call in its
// inbox (wParam, lParam 0, never read): the window runs the oldest queued call
// and answers 0. The message carries no pointer, so another thread or program
// sending it can only make the window look at its own, perhaps empty, inbox.
inline constexpr UINT WM_CALL_SCRIPT = 1125;
// Sent the same way after a silent sign-in has queued the index page's URL:
// the window opens the oldest queued URL.
inline constexpr UINT WM_NAVIGATE_URL = 1126;
// Posted to the main window when new messages arrived (wParam, lParam 0): it
// starts its tray blink timer, which another thread's window cannot.
inline constexpr UINT WM_START_TRAY_BLINK = WM_APP + 1;

inline constexpr wchar_t kPutMsg[] = L"putMsg";
// The putMsg arguments, as the web view's CallScript takes them.
using CScriptArguments = std::vector<std::wstring>;

struct CScriptCall {
    std::wstring function;
    CScriptArguments arguments;
};

// What the worker hands the main window: owned by the window, filled by the
// worker's thread and emptied by the window's, each under its lock.
class CWorkerInbox {
public:
    void PushScriptCall(CScriptCall call);
    void PushNavigation(std::wstring url);
    // The oldest entry, if any.
    std::optional<CScriptCall> TakeScriptCall();
    std::optional<std::wstring> TakeNavigation();

private:
    template <typename T> std::optional<T> TakeFront(std::deque<T>& queue);

    std::mutex m_lock;
    std::deque<CScriptCall> m_scriptCalls; // guarded by m_lock
    std::deque<std::wstring> m_urls;       // guarded by m_lock
};

// What the worker may touch of the program. Everything is borrowed and must
// outlive the worker; the callbacks run on the worker's thread and must be
// safe to call from there while the user-interface thread runs.
struct CHeartbeatLinks {
    HWND mainWindow = nullptr;           // borrowed
    CWorkerInbox* inbox = nullptr;       // borrowed: the main window's
    CSessionRecord* session = nullptr;   // borrowed
    CWorkerSettings* settings = nullptr; // borrowed
    HICON normalIcon = nullptr;          // borrowed
    HICON offlineIcon = nullptr;         // borrowed
    std::function<HICON()> currentIcon;  // the tray icon's current image
    std::function<bool(HICON)> setIcon;  // false while the tray icon is absent
    std::function<void(int type, const std::wstring& text, const std::wstring& link)> addNotice;
};

class CHeartbeatWorker {
public:
    CHeartbeatWorker() = default;
    ~CHeartbeatWorker() { Stop(); }
    CHeartbeatWorker(const CHeartbeatWorker&) = delete;
    CHeartbeatWorker& operator=(const CHeartbeatWorker&) = delete;

    // Starts the thread; its first cycle runs at once. False when it runs
    // already or cannot be started.
    bool Start(CHeartbeatLinks links);
    // Tells the worker to act on nothing more and end; returns at once. The
    // exit calls it before it sends the logout.
    void RequestStop();
    // RequestStop, then waits for the thread while answering the messages it
    // sends this thread. An idle worker ends at once; a busy one after its
    // service call in flight (the call's time-out bounds it). Never call it
    // while a message from the worker is being handled further up this
    // thread's stack (a modal loop inside WM_CALL_SCRIPT): that send cannot
    // return until Stop does. RequestStop is safe there.
    void Stop();

private:
    static DWORD WINAPI ThreadMain(void* parameter);

    CHeartbeatLinks m_links;
    unique_handle m_stopEvent; // manual reset; set by RequestStop
    unique_handle m_thread;
};
