#pragma once
#include "framework/dialog.h"
#include "framework/handles.h"

// The about box: the program's name and version in a skinned frame.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    bool OnInitDialog() override;

private:
    unique_hicon m_smallIcon; // the caption icon, while the window shows it
};
