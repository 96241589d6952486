#include "controls/hyper_link.h"

#include "framework/application.h"
#include "framework/handles.h"
#include "framework/program_files.h"
#include "text/ansi_text.h"

#include <commctrl.h>
#include <mapi.h>
#include <shellapi.h>

#include <cwctype>

namespace {

constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverPollMs = 100;
constexpr UINT_PTR kToolId = 1;
constexpr wchar_t kMailPrefix[] = L"mailto:";
constexpr size_t kMailPrefixLength = 7;
constexpr wchar_t kOpenFailedText[] = L"打开链接失败！";
constexpr wchar_t kOpenFailedCaption[] = L"错误";
constexpr wchar_t kMailFailedText[] = L"MAPI Failure.";
constexpr wchar_t kMailFailedCaption[] = L"Error";
// ShellExecuteW's results up to this value are errors.
constexpr INT_PTR kShellErrorLimit = 32;

HWND MainWindow() {
    CApplication* app = AppInstance();
    CWindow* window = app ? app->GetMainWindow() : nullptr;
    return window ? window->GetSafeHwnd() : nullptr;
}

} // namespace

bool IsMailTarget(const std::wstring& target) {
    return target.size() >= kMailPrefixLength &&
           CompareStringOrdinal(target.c_str(), kMailPrefixLength, kMailPrefix, kMailPrefixLength, TRUE) ==
               CSTR_EQUAL;
}

std::wstring TrimLinkTarget(const std::wstring& target) {
    size_t first = 0, last = target.size();
    while (first < last && std::iswspace(target[first])) {
        ++first;
    }
    while (last > first && std::iswspace(target[last - 1])) {
        --last;
    }
    return target.substr(first, last - first);
}

CHyperLink::~CHyperLink() {
    DestroyToolTip();
    // A control that outlives this object must not keep the font that goes with it.
    if (m_hWnd && m_font && reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0)) == m_font.get()) {
        SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_ownerFont), FALSE);
    }
}

bool CHyperLink::SetLinkTarget(const std::wstring& target) {
    std::wstring trimmed = TrimLinkTarget(target);
    if (trimmed.empty() && (!m_hWnd || GetWindowTextLengthW(m_hWnd) == 0)) {
        return false;
    }
    m_target = std::move(trimmed);
    return true;
}

void CHyperLink::SetColours(COLORREF link, COLORREF hover, COLORREF visited) {
    m_linkColour = link;
    m_hoverColour = hover;
    m_visitedColour = visited;
    m_currentColour = RestingColour();
    Repaint();
}

void CHyperLink::SetUnderlineMode(int mode) {
    m_underlineMode = mode;
    m_currentColour = RestingColour();
    Repaint();
}

void CHyperLink::SetCurrentUnderline(bool underline) {
    m_currentUnderline = underline;
    Repaint();
}

void CHyperLink::PreSubclassWindow() {
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, GetWindowLongPtrW(m_hWnd, GWL_STYLE) | SS_NOTIFY);
    m_cursor = LoadCursorW(nullptr, IDC_HAND);

    DestroyToolTip();
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    m_toolTip =
        CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_hWnd, GWLP_HINSTANCE)), nullptr);
    if (m_toolTip) {
        TTTOOLINFOW tool{};
        // The older size, which every version of the common controls takes.
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = m_hWnd;
        tool.uId = kToolId;
        GetClientRect(m_hWnd, &tool.rect);
        tool.lpszText = const_cast<wchar_t*>(m_target.c_str());
        SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    LOGBRUSH hollow{BS_HOLLOW, 0, 0};
    m_brush.reset(CreateBrushIndirect(&hollow));
    m_bkMode = TRANSPARENT;
    Repaint();
}

void CHyperLink::DestroyToolTip() {
    // The dialog that owns the tooltip may have destroyed it already.
    if (m_toolTip && IsWindow(m_toolTip)) {
        DestroyWindow(m_toolTip);
    }
    m_toolTip = nullptr;
}

bool CHyperLink::PreTranslateMessage(MSG& msg) {
    if (m_toolTip && msg.hwnd == m_hWnd) {
        SendMessageW(m_toolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    return false;
}

HBRUSH CHyperLink::OnReflectedCtlColor(HDC dc, UINT) {
    SetTextColor(dc, m_currentColour);
    SetBkColor(dc, m_backgroundColour);
    SetBkMode(dc, m_bkMode);
    // The control holds our last font, unless its owner has given it another since.
    const auto controlFont = reinterpret_cast<HFONT>(SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    if (controlFont != m_font.get()) {
        m_ownerFont = controlFont;
    }
    const HFONT base = m_ownerFont ? m_ownerFont : static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    LOGFONTW font{};
    if (base && GetObjectW(base, sizeof(font), &font)) {
        font.lfUnderline = m_currentUnderline ? TRUE : FALSE;
        unique_hfont made(CreateFontIndirectW(&font));
        if (made) {
            // Selected before the previous font goes, which may still be in this DC.
            SelectObject(dc, made.get());
            // Some statics select their own font after asking for colours: it is this one too.
            if (m_ownerFont) {
                SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), FALSE);
            }
            m_font = std::move(made);
        }
    }
    return m_brush.get();
}

void CHyperLink::Repaint() const {
    if (!m_hWnd) {
        return;
    }
    const HWND parent = GetParent(m_hWnd);
    if (!parent) {
        InvalidateRect(m_hWnd, nullptr, TRUE);
        return;
    }
    // The parent's background first, then the transparent text over it, both at once.
    RECT area{};
    GetWindowRect(m_hWnd, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool CHyperLink::OnSetCursor(HWND, UINT, UINT) {
    if (m_cursor) {
        SetCursor(m_cursor);
    }
    if (!m_hovering) {
        SetTimer(m_hWnd, kHoverTimer, kHoverPollMs, nullptr);
        m_hovering = true;
        m_currentColour = m_hoverColour;
        m_currentUnderline = m_underlineMode != kUnderlineNever;
        Repaint();
    }
    return true;
}

bool CHyperLink::OnTimer(UINT_PTR id) {
    if (id != kHoverTimer) {
        return false;
    }
    POINT cursor{};
    RECT window{};
    GetCursorPos(&cursor);
    GetWindowRect(m_hWnd, &window);
    if (!PtInRect(&window, cursor)) {
        m_hovering = false;
        m_currentColour = RestingColour();
        m_currentUnderline = m_underlineMode == kUnderlineAlways;
        KillTimer(m_hWnd, kHoverTimer);
        Repaint();
    }
    return true;
}

// Handled here and not passed on: the static would report a click of its
// own, which the parent could not tell from an empty target's command.
bool CHyperLink::OnLButtonDown(UINT, POINT) {
    SetCapture(m_hWnd);
    m_currentColour = m_pressedColour;
    Repaint();
    return true;
}

bool CHyperLink::OnLButtonUp(UINT, POINT point) {
    if (GetCapture() != m_hWnd) {
        return true;
    }
    ReleaseCapture();
    ClientToScreen(m_hWnd, &point);
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    if (PtInRect(&window, point)) {
        Activate();
    }
    // Repaint skips a control that the parent's answer to the click destroyed.
    m_currentColour = RestingColour();
    Repaint();
    return true;
}

void CHyperLink::OnDestroy() {
    KillTimer(m_hWnd, kHoverTimer);
    DestroyToolTip();
}

void CHyperLink::Activate() {
    // Copied: what runs below may set a new target.
    const std::wstring target = m_target;
    m_visited = IsMailTarget(target) ? SendMail(target, std::wstring()) : Open(target);
}

bool CHyperLink::Open(const std::wstring& target) {
    const HWND parent = m_hWnd ? GetParent(m_hWnd) : nullptr;
    if (target.empty()) {
        if (parent) {
            SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hWnd), BN_CLICKED),
                         reinterpret_cast<LPARAM>(m_hWnd));
        }
        return true;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(parent, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= kShellErrorLimit) {
        MessageBoxW(parent, kOpenFailedText, kOpenFailedCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

bool CHyperLink::SendMail(const std::wstring& address, const std::wstring& name) {
    const HWND owner = m_hWnd ? GetParent(m_hWnd) : nullptr;
    unique_hmodule mapi(LoadLibraryW(SystemLibrary(L"MAPI32.DLL").c_str()));
    const FARPROC proc = mapi ? GetProcAddress(mapi.get(), "MAPISendMail") : nullptr;
    if (!proc) {
        MessageBoxW(owner, kMailFailedText, kMailFailedCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    const auto send = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(proc));

    // Simple MAPI takes 8-bit text.
    std::string ansiName = ToAnsi(name);
    std::string ansiAddress = ToAnsi(address);
    MapiRecipDesc recipient{};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = ansiName.data();
    recipient.lpszAddress = ansiAddress.data();
    MapiMessage message{};
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
    // The composer belongs to the main window; before there is one, to the control's dialog.
    const HWND mainWindow = MainWindow();
    const ULONG result = send(0, reinterpret_cast<ULONG_PTR>(mainWindow ? mainWindow : owner), &message,
                              MAPI_DIALOG | MAPI_LOGON_UI, 0);
    mapi.reset();
    if (result != SUCCESS_SUCCESS) {
        MessageBoxW(owner, kMailFailedText, kMailFailedCaption, MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}
