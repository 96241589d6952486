#include "session/about_dialog.h"

#include "session/session_resource.h"
#include "signin/signin_resource.h"
#include "skin/skin.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

bool CAboutDlg::OnInitDialog() {
    m_smallIcon.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon.get()));
    InstallDlgSkin(this);
    InstallCtlSkin(m_hWnd, IDOK);
    return CDialog::OnInitDialog();
}
