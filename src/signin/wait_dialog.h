#pragma once
#include "controls/picture_ex.h"
#include "framework/dialog.h"

// The window over the main window from sign-in until the service's first page
// has loaded: an animation and a line of text. Found by its title "loading".
class CWaitDlg : public CDialog {
public:
    // resources: res.dll, borrowed; it outlives the window.
    explicit CWaitDlg(HMODULE resources);

    bool PreTranslateMessage(MSG& msg) override;

protected:
    bool OnInitDialog() override;
    bool OnEraseBkgnd(HDC dc) override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
    void OnDestroy() override;
    // Without push buttons Enter reaches the window as IDOK: it must not end
    // the wait (Escape already passes by the dialog manager).
    void OnOK() override {}

private:
    HMODULE m_resources;
    CPictureEx m_animation;
};

// The wait window's title, by which the web view finds it.
inline constexpr wchar_t kWaitWindowTitle[] = L"loading";
