#pragma once
#include "framework/dialog.h"

#include <cstddef>

class CSMSSetting;

// The plug-in's settings dialog: sounds, the show-window hot key and auto-login.
// The controls hold the edits; OK writes them to the settings object, Cancel drops them.
class CConfigDlg : public CDialog {
public:
    // dialogTemplate and settings are borrowed and must outlive DoModal. The
    // template comes from config.dll's own resources, which the framework's
    // template-id constructor would look for in the program instead.
    CConfigDlg(const DLGTEMPLATE* dialogTemplate, CSMSSetting& settings);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void BrowseSound(std::size_t index);

    CSMSSetting& m_settings;
};

// The dialog resource id of module, or null; it lives as long as the module is loaded.
const DLGTEMPLATE* FindDialogTemplate(HMODULE module, int id);
