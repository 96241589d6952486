#pragma once
#include "controls/hyper_link.h"
#include "controls/picture_ex.h"
#include "controls/skin_btn.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "model/user_session.h"
#include "release/download_file_wnd.h"
#include "signin/login_settings_dialog.h"

#include <string>

class CSMSSetting;

// End codes of the login dialog: the hand-over to start-up.
enum LoginResult : int {
    kLoginSignedIn = 0,
    kLoginRunUpdater = 1,
    kLoginClosed = 2,
};

// The shaped, frameless window in which the user signs in: remembered
// numbers, grey hints, the input checks, auto-login, the settings panel
// below it, the advertisement refreshed from the update server and the
// notice that an update waits.
class CLoginDlg : public FCDownloadFileWndBase<CDialog> {
public:
    // settings and resources (res.dll) are borrowed and outlive the dialog.
    CLoginDlg(CSMSSetting& settings, HMODULE resources, std::wstring programFolder);

    // The signed-in user once the dialog ended with kLoginSignedIn.
    const CUserSession& Session() const { return m_session; }

    bool PreTranslateMessage(MSG& msg) override;

protected:
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code, HWND control) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
    bool OnEraseBkgnd(HDC dc) override;
    bool OnLButtonDown(UINT flags, POINT point) override;
    bool OnClose() override;

    int OnCheckTime(const std::wstring& url, const std::wstring& time) override;
    void OnDownFinished(const std::wstring& url, const BYTE* data, DWORD size) override;

private:
    void FillInputs();
    void ShapeToBackground();
    void MakeSettingsWindow();
    void ShowUpdateNotice();
    void OnNumberFocus();
    void OnPasswordFocus();
    void ToggleSettings();
    void PlaceSettingsWindow();
    void OnLogin();
    void TakeServerChoices();
    void StartUpdater();
    void ShowPasswordHint();
    void ShowNumberHint();

    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }
    bool IsNumberBox(HWND control) const;

    std::wstring m_adTimeCandidate;
    bool m_awaitingFirstPaint = false;
    CSkinBtn m_minimize;
    CSkinBtn m_close;
    unique_hbitmap m_background; // bitmap 117 of res.dll
    CPictureEx m_ad;
    CLoginSetDlg m_settingsWindow;
    CHyperLink m_updateNotice;
    BOOL m_numberHasText = FALSE;
    BOOL m_passwordHasText = FALSE;

    CSMSSetting& m_settings;
    HMODULE m_resources;
    std::wstring m_programFolder;
    CUserSession m_session;
};
