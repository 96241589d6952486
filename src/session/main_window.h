#pragma once
#include "browser/sms_html_view.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "model/user_session.h"
#include "session/heartbeat_worker.h"
#include "session/tip_dialog.h"
#include "session/tray_icon.h"

#include <atomic>
#include <string>

class CSMSSetting;

// The shell's notifications for the tray icon.
inline constexpr UINT WM_TRAY_NOTIFY = CTrayIcon::kCallbackMessage;
// From the view: the index page has loaded.
inline constexpr UINT WM_START_SESSION = SMSHtmlView::kStartSessionMessage;

// The signed-in window: the service's pages in the web view over the whole
// work area, the script bridge both ways, the tray icon, the notice popup,
// the heartbeat, the hot key and the exit with logout.
class CVelmarinDlg : public CDialog {
public:
    // settings, resources (res.dll) and session are borrowed and outlive the object.
    CVelmarinDlg(CSMSSetting& settings, HMODULE resources, CSessionRecord& session);
    // Stops the heartbeat (never waiting on a message it sends here) and takes
    // the tray icon, the view and the popup down.
    ~CVelmarinDlg() override;

    void ShowMainWindow();
    // Asks, then logs out and destroys the window, which ends the program.
    void ConfirmExit();

    bool PreTranslateMessage(MSG& msg) override;
    // The icon the notification area shows now (borrowed).
    HICON TrayIconShown() const { return m_tray.CurrentIcon(); }

protected:
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnTimer(UINT_PTR id) override;
    bool OnClose() override;
    bool OnSize(UINT type, int cx, int cy) override;
    // Enter and Escape never close the window.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void CreateView();
    void StartTrayIcon();
    static DWORD WINAPI AddTrayIcon(void* window);
    void FinishTrayIcon();
    void StartSession();
    // Windows signs the user out or shuts down: stop, log out briefly, save.
    void EndSession();
    void OnPageCall(const std::wstring& command, const std::wstring& data);
    void OpenSettingsPlugin();
    void ShowAbout();
    void RegisterShowHotKey();
    void Blink();
    void RunUpdateCheck();
    void PublishWorkerSettings();
    std::wstring IndexUrl(const std::wstring& sessionId) const;

    unique_hicon m_normalIcon;     // res.dll 121
    unique_hicon m_offlineIcon;    // res.dll 120
    unique_hicon m_newMessageIcon; // res.dll 133
    CWorkerInbox m_inbox;          // before the worker, which fills it until it is stopped
    CHeartbeatWorker m_worker;
    CTipDlg m_tip;
    unique_hicon m_programIcon; // the program's own 132
    SMSHtmlView m_view;
    CTrayIcon m_tray;
    unique_handle m_trayAdding; // the thread adding the tray icon, until the window shows

    CSMSSetting& m_settings;
    HMODULE m_resources;
    CSessionRecord& m_session;
    CWorkerSettings m_workerSettings;
    bool m_sessionStarted = false;
    bool m_blinkPhase = false;
    bool m_hotKeyRegistered = false;
    UINT m_taskbarCreated = 0;
};
