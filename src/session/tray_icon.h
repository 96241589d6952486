#pragma once
#include <windows.h>

#include <shellapi.h>

#include <mutex>

// The program's one icon in the notification area: added, changed, removed,
// put back after the shell restarted, and its mouse notifications turned into
// the tray menu or the owner's show command. Not a window itself.
class CTrayIcon {
public:
    // The icon's identifier, also the number of the tray menu resource.
    static constexpr UINT kIconId = 134;
    // The message the shell sends the owner for the icon (WM_USER + 100).
    static constexpr UINT kCallbackMessage = WM_USER + 100;

    CTrayIcon() = default;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    ~CTrayIcon();

    // UI thread. owner and icon are borrowed and outlive the icon; false when
    // the shell did not take it, which leaves the object not enabled.
    bool Create(HWND owner, HICON icon);
    // UI thread or the heartbeat worker; false when not enabled.
    bool SetIcon(HICON icon);
    HICON CurrentIcon() const;
    bool IsEnabled() const;
    // UI thread: takes the icon away for good.
    void Remove();
    // UI thread, on the shell's "TaskbarCreated": adds the icon again with its
    // current image, since a restarted shell has forgotten it; false after
    // Remove or when the shell did not take it.
    bool Restore();

    // UI thread: wParam is the icon's identifier, the low word of lParam the
    // mouse message; 0 for another identifier, 1 otherwise.
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);

private:
    void ShowMenu(HWND owner);
    void SendShowCommand(HWND owner);

    // Guards everything below: SetIcon runs on the heartbeat worker and on the
    // UI thread (blink timer), and the shell call stays inside the lock so that
    // the record and the shell agree on the image.
    mutable std::mutex m_lock;
    bool m_enabled = false;
    // Set by a Create with a window, cleared by Remove: what Restore may put back.
    bool m_wanted = false;
    NOTIFYICONDATAW m_data{}; // hWnd and hIcon are borrowed
};
