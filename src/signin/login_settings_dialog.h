#pragma once
#include "controls/hyper_link.h"
#include "framework/dialog.h"

#include <string>

class CSMSSetting;

// The service's base URL with its port written out: the one entry of both server lists.
std::wstring DefaultServerAddress();

// The panel below the login dialog: the application and update server
// choices and the link to the page where a subscriber gets a password.
class CLoginSetDlg : public CDialog {
public:
    // settings is borrowed and outlives the window.
    explicit CLoginSetDlg(const CSMSSetting& settings);

    // The selected entries; empty when none is selected.
    std::wstring AppServerText() const;
    std::wstring UpdServerText() const;

    bool PreTranslateMessage(MSG& msg) override;

protected:
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The panel has no push buttons, so Enter in a list reaches it as IDOK:
    // ending the panel would lose the server choice. It lives until the login
    // dialog destroys it.
    void OnOK() override {}

private:
    void FillServerListsOnce();
    std::wstring SelectedText(int id) const;
    void StretchToWidth(int width);

    const CSMSSetting& m_settings;
    CHyperLink m_passwordLink;
    int m_laidOutWidth = 0; // client width the controls are laid out for
    // The lists belong to the window: filled at its first show, never again.
    bool m_serverListsFilled = false;
};
