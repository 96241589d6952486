#pragma once
#include "framework/application.h"
#include "framework/com.h"
#include "framework/gdiplus_session.h"
#include "framework/handles.h"
#include "model/user_session.h"
#include "session/main_window.h"
#include "settings/sms_setting.h"
#include "signin/wait_dialog.h"

#include <memory>

// The program's application object: brings up settings, resources, skin and
// service client in a fixed order, runs the sign-in, and takes it all down
// again at exit. GDI+ starts with the first picture and OLE with the main
// window: the login dialog shows without them.
class CVelmarinApp : public CApplication {
public:
    CVelmarinApp();

    // The loaded settings; they exist from a successful start until exit.
    CSMSSetting& Settings() { return *m_settings; }
    // res.dll, the library of the windows' bitmaps, icons and GIFs; borrowed.
    HMODULE ResourceModule() const { return m_resources.get(); }
    // The signed-in user, shared with the heartbeat worker.
    CSessionRecord& Session() { return m_session; }

protected:
    bool InitInstance() override;
    int ExitInstance() override;

private:
    void OpenMainWindow();
    void ShowWaitWindow(HWND main);

    unique_oleuninitialize_call m_ole;
    std::unique_ptr<CSMSSetting> m_settings; // set only once loaded: only loaded settings are saved
    unique_hmodule m_resources;
    unique_handle m_accountLock; // held from sign-in until exit
    CSessionRecord m_session;
    // Both hold COM, GDI+ and res.dll objects: they go before those libraries.
    std::unique_ptr<CVelmarinDlg> m_mainWindow;
    std::unique_ptr<CWaitDlg> m_waitWindow;
};

// The program's one application object.
CVelmarinApp& VelmarinApp();
