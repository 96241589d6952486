#include "framework/dialog.h"

#include "framework/handles.h"

#include <algorithm>
#include <utility>

namespace {

// RT_DIALOG, named for both character sets: this library is built for each.
constexpr WORD kDialogResourceType = 5;

// A modal run's own loop offers each message to the message filter before its
// dialog manager sees it; the filter gives PreTranslateMessage its turn there.
thread_local unique_hhook t_modalFilter;
thread_local int t_modalDepth = 0;
// Set while a modeless dialog's IsDialogMessageW runs: it calls the filter too,
// which must not offer the same message round again.
thread_local bool t_inDialogManager = false;

LRESULT CALLBACK ModalFilterProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && !t_inDialogManager &&
        CWindow::PreTranslateTree(*reinterpret_cast<MSG*>(lParam))) {
        return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Keeps the filter installed while at least one modal run is on this thread.
class CModalFilterScope {
public:
    CModalFilterScope() : m_outerInDialogManager(std::exchange(t_inDialogManager, false)) {
        if (t_modalDepth++ == 0) {
            t_modalFilter.reset(
                SetWindowsHookExW(WH_MSGFILTER, ModalFilterProc, nullptr, GetCurrentThreadId()));
        }
    }
    ~CModalFilterScope() {
        if (--t_modalDepth == 0) {
            t_modalFilter.reset();
        }
        t_inDialogManager = m_outerInDialogManager;
    }
    CModalFilterScope(const CModalFilterScope&) = delete;
    CModalFilterScope& operator=(const CModalFilterScope&) = delete;

private:
    // A modal run started from inside a dialog manager has messages of its own.
    bool m_outerInDialogManager;
};

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

// The position a dialog template gives its window, in dialog units.
POINT TemplatePosition(const DLGTEMPLATE* dialogTemplate) {
    const auto* words = reinterpret_cast<const WORD*>(dialogTemplate);
    // An extended template starts with version 1 and the signature 0xFFFF;
    // x and y follow help id, extended style, style and the item count.
    if (words[0] == 1 && words[1] == 0xFFFF) {
        return {static_cast<SHORT>(words[9]), static_cast<SHORT>(words[10])};
    }
    return {static_cast<SHORT>(words[5]), static_cast<SHORT>(words[6])};
}

// Puts a top-level window in the middle of its owner, or of its monitor's work
// area when the owner is hidden or minimised, and keeps it inside that area.
void CentreOnOwner(HWND hwnd) {
    RECT own;
    GetWindowRect(hwnd, &own);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;
    RECT around = work;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &around);
    }
    const LONG width = own.right - own.left, height = own.bottom - own.top;
    LONG x = around.left + (around.right - around.left - width) / 2;
    LONG y = around.top + (around.bottom - around.top - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

CDialog::CDialog(int templateId) : m_templateId(templateId) {}

CDialog::CDialog(const DLGTEMPLATE* memoryTemplate) : m_memoryTemplate(memoryTemplate) {}

CDialog::~CDialog() {
    if (m_hWnd) {
        DestroyWindow(m_hWnd);
    }
}

INT_PTR CDialog::DoModal(HWND parent) {
    if (m_hWnd) {
        return -1;
    }
    CModalFilterScope filter;
    HINSTANCE module = GetModuleHandleW(nullptr);
    auto self = reinterpret_cast<LPARAM>(this);
    m_modal = true;
    INT_PTR result = m_memoryTemplate
                         ? DialogBoxIndirectParamW(module, m_memoryTemplate, parent, DialogProc, self)
                         : DialogBoxParamW(module, MAKEINTRESOURCEW(m_templateId), parent, DialogProc, self);
    m_modal = false;
    return result;
}

bool CDialog::Create(HWND parent) {
    if (m_hWnd) {
        return false;
    }
    HINSTANCE module = GetModuleHandleW(nullptr);
    auto self = reinterpret_cast<LPARAM>(this);
    HWND hwnd = m_memoryTemplate
                    ? CreateDialogIndirectParamW(module, m_memoryTemplate, parent, DialogProc, self)
                    : CreateDialogParamW(module, MAKEINTRESOURCEW(m_templateId), parent, DialogProc, self);
    return hwnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    if (!m_hWnd) {
        return;
    }
    if (m_modal) {
        ::EndDialog(m_hWnd, result);
    } else {
        DestroyWindow(m_hWnd);
    }
}

bool CDialog::PreTranslateMessage(MSG& msg) {
    if (m_modal || !m_hWnd || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) {
        return false;
    }
    bool outer = std::exchange(t_inDialogManager, true);
    bool consumed = IsDialogMessageW(m_hWnd, &msg);
    t_inDialogManager = outer;
    return consumed;
}

bool CDialog::PassEscapeToFocus(MSG& msg) {
    if ((msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) || msg.wParam != VK_ESCAPE) {
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

bool CDialog::OnInitDialog() {
    return true;
}
void CDialog::OnOK() {
    EndDialog(IDOK);
}
void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED) {
        return false;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) {
        return CWindow::WindowProc(message, wParam, lParam);
    }
    RECT before;
    GetWindowRect(m_hWnd, &before);
    HWND hwnd = m_hWnd;
    const bool result = OnInitDialog();
    // A dialog that neither its template nor its initialisation placed opens
    // in the middle of its owner, not at the corner the template's 0,0 means.
    RECT after;
    if (IsWindow(hwnd) && !(GetWindowLongPtrW(hwnd, GWL_STYLE) & (WS_CHILD | DS_CENTER | DS_CENTERMOUSE)) &&
        GetWindowRect(hwnd, &after) && EqualRect(&before, &after) && HasNoTemplatePosition()) {
        CentreOnOwner(hwnd);
    }
    return result;
}

bool CDialog::HasNoTemplatePosition() const {
    const DLGTEMPLATE* dialogTemplate = m_memoryTemplate;
    if (!dialogTemplate) {
        HMODULE module = GetModuleHandleW(nullptr);
        HRSRC found =
            FindResourceW(module, MAKEINTRESOURCEW(m_templateId), MAKEINTRESOURCEW(kDialogResourceType));
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        dialogTemplate = loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
    }
    if (!dialogTemplate) {
        return false;
    }
    const POINT position = TemplatePosition(dialogTemplate);
    return position.x == 0 && position.y == 0;
}

LRESULT CDialog::DefaultProc(UINT, WPARAM, LPARAM) {
    m_leftToDialogManager = true;
    return 0;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Messages before WM_INITDIALOG (WM_SETFONT) stay with the dialog manager.
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        if (!dialog->BindHandle(hwnd)) {
            return FALSE;
        }
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    // A dialog object detached from its window no longer takes its messages.
    return dialog && dialog->m_hWnd == hwnd ? dialog->Dispatch(hwnd, message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Handlers may send messages back to this dialog: keep the outer message's flag.
    bool outer = std::exchange(m_leftToDialogManager, false);
    LRESULT result = WindowProc(message, wParam, lParam);
    bool leftToDialogManager = std::exchange(m_leftToDialogManager, outer);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        OnFinalMessage();
        return FALSE;
    }
    if (leftToDialogManager) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return result;
    }
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
