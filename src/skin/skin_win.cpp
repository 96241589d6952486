#include "skin/skin_win.h"

#include "skin/skin_menu.h"
#include "skin/theme_reader.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kPersonality[] = "Personality";
constexpr char kColours[] = "Colours";
constexpr COLORREF kDefaultTransColor = RGB(255, 0, 255);
// Extra height over the "Left" image in the smallest size the frame allows.
constexpr int kMinTrackExtraHeight = 20;

// Caption-button actions of the theme.
constexpr int kActionClose = 0;
constexpr int kActionMaximize = 1;
constexpr int kActionMinimize = 2;

// System commands compared whole: 0xF032 (a caption double-click) is not a maximize.
constexpr WPARAM kSysMaximize = SC_MAXIMIZE;
constexpr WPARAM kSysRestore = SC_RESTORE;

bool IsCaptionButtonHit(int hit) {
    return hit == HTCLOSE || hit == HTMINBUTTON || hit == HTMAXBUTTON;
}

static_assert(kHitClose == HTCLOSE && kHitCaption == HTCAPTION && kHitSysMenu == HTSYSMENU &&
              kHitMinButton == HTMINBUTTON && kHitMaxButton == HTMAXBUTTON && kHitTopLeft == HTTOPLEFT &&
              kHitBottomRight == HTBOTTOMRIGHT && kHitClient == HTCLIENT);

} // namespace

CSkinWin::CSkinWin(const std::string& themePath) {
    LoadTheme(themePath);
}

CSkinWin::~CSkinWin() {
    Uninstall();
}

void CSkinWin::LoadTheme(const std::string& themePath) {
    CThemeFile theme(themePath);
    theme.Image(kPersonality, "DialogBmp", m_dialogBmp);
    if (!theme.Image(kPersonality, "Top", m_top) || !theme.Image(kPersonality, "Left", m_left) ||
        !theme.Image(kPersonality, "Right", m_right) || !theme.Image(kPersonality, "Bottom", m_bottom)) {
        return;
    }
    m_bands = {m_top.Height() / 2, m_left.Width() / 2, m_right.Width() / 2, m_bottom.Height() / 2};
    auto readInt = [&](const char* key, int defaultValue) {
        return theme.Int(kPersonality, key, defaultValue);
    };
    m_topSplit = SplitBand(readInt("TopTopHeight", 0), readInt("TopBotHeight", 0), m_top.Width());
    m_leftSplit = SplitBand(readInt("LeftTopHeight", 0), readInt("LeftBotHeight", 0), m_left.Height());
    m_rightSplit = SplitBand(readInt("RightTopHeight", 0), readInt("RightBotHeight", 0), m_right.Height());
    m_bottomSplit = SplitBand(readInt("BottomTopHeight", 0), readInt("BottomBotHeight", 0), m_bottom.Width());
    if (!LoadCaptionButtons(theme)) {
        return;
    }
    m_textShift = readInt("TextShift", 0);
    m_textShiftVert = readInt("TextShiftVert", 0);
    m_titleText = theme.Colour(kColours, "TitleText", GetSysColor(COLOR_CAPTIONTEXT));
    m_inactiveTitleText = theme.Colour(kColours, "InactiveTitleText", GetSysColor(COLOR_CAPTIONTEXT));
    m_usesTran = readInt("UsesTran", 0) != 0;
    if (m_usesTran) {
        m_transColor = theme.Colour(kColours, "TransColor", kDefaultTransColor);
    }
    m_windowText = theme.Colour(kColours, "WindowText", RGB(0, 0, 0));
    m_loaded = true;
}

bool CSkinWin::LoadCaptionButtons(CThemeFile& theme) {
    const int count = theme.Int(kPersonality, "ButtonCount", 0);
    // Every caption-button image holds at least one state.
    m_buttonImgCount = std::max(1, theme.Int(kPersonality, "ButtonImgCount", 4));
    for (int i = 0; i < count; ++i) {
        char section[32];
        std::snprintf(section, sizeof(section), "Button%d", i);
        const int action = theme.Int(section, "Action", 0);
        const int x = theme.Int(section, "XCoord", 0);
        const int y = theme.Int(section, "YCoord", 0);
        CMyBitmap* image = nullptr;
        CPixelRect* rect = nullptr;
        switch (action) {
        case kActionClose:
            image = &m_closeButton;
            rect = &m_closeRect;
            break;
        case kActionMinimize:
            image = &m_minButton;
            rect = &m_minRect;
            break;
        case kActionMaximize:
            // The second maximize section is the restore button.
            image = m_maxButton.HasImage() ? &m_restoreButton : &m_maxButton;
            rect = m_maxButton.HasImage() ? &m_restoreRect : &m_maxRect;
            break;
        default:
            continue;
        }
        if (!theme.Image(section, "ButtonImage", *image)) {
            return false;
        }
        *rect = CaptionButtonThemeRect(x, y, image->Width(), image->Height(), m_buttonImgCount);
    }
    return true;
}

void CSkinWin::SetStyleBits(bool isSizable, bool minBox, bool maxBox) {
    m_sizable = isSizable;
    m_hasMinBox = minBox;
    m_hasMaxBox = maxBox;
}

LRESULT CSkinWin::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = GetHwnd();
    if (hwnd == nullptr || !IsWindow(hwnd)) {
        return 0;
    }
    if (!m_loaded) {
        return Default();
    }
    if (auto result = OnStateMessage(message, wParam, lParam)) {
        return *result;
    }
    if (auto result = OnFrameMessage(message, wParam, lParam)) {
        return *result;
    }
    if (auto result = OnMouseMessage(message, lParam)) {
        return *result;
    }
    if (auto result = OnMenuMessage(message, wParam, lParam)) {
        return *result;
    }
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam);
    case WM_CTLCOLORSTATIC: {
        Default();
        auto dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, m_windowText);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    case WM_WINDOWPOSCHANGING:
    case WM_SIZING:
        return 0;
    default:
        return Default();
    }
}

std::optional<LRESULT> CSkinWin::OnStateMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = GetHwnd();
    switch (message) {
    case WM_SIZE:
        Default();
        if (wParam != SIZE_MINIMIZED && m_windowState == kStateMinimized) {
            // Restored by other means than ours (the taskbar, ShowWindow).
            m_windowState = m_stateBeforeMinimize;
        }
        ApplyShape();
        return 0;
    case WM_ACTIVATE:
        m_active = LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE;
        PaintFrame();
        DefWindowProcA(hwnd, WM_NCACTIVATE, m_active, -1);
        // The dialog still sees it: its manager saves and restores the focused control here.
        Default();
        return 0;
    case WM_NCACTIVATE:
        m_active = wParam != 0;
        PaintFrame();
        DefWindowProcA(hwnd, WM_NCACTIVATE, wParam, -1);
        return wParam == 0 ? 1 : 0;
    case WM_SETTEXT: {
        const LRESULT result = Default();
        m_title = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        PaintFrame();
        return result;
    }
    case WM_ERASEBKGND:
        Default();
        OnEraseBackground(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SHOWWINDOW:
        if (wParam != 0) {
            // Puts the new frame size into effect.
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED);
        }
        return Default();
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = m_top.Width() + m_left.Width() + m_right.Width();
        info->ptMinTrackSize.y = m_left.Height() + kMinTrackExtraHeight;
        return 0;
    }
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> CSkinWin::OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCALCSIZE:
        if (wParam == 0) {
            return Default();
        }
        OnCalcSize(lParam);
        return 0;
    case WM_NCHITTEST:
        return OnNcHitTest(lParam);
    case WM_NCPAINT:
        PaintFrame();
        return 0;
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
        return OnNcMouse(message, wParam, lParam);
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> CSkinWin::OnMouseMessage(UINT message, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        if (m_trackingButton) {
            return OnCapturedMouse(message, lParam);
        }
        if (message == WM_LBUTTONUP && m_pressedHit != 0) {
            ResetCaptionLook(); // released over the client area
        }
        return Default();
    case WM_CAPTURECHANGED:
        if (m_trackingButton) {
            // Taken away (another window, a menu): nothing stays pressed.
            m_trackingButton = false;
            ResetCaptionLook();
        }
        return Default();
    default:
        return std::nullopt;
    }
}

std::optional<LRESULT> CSkinWin::OnMenuMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITMENUPOPUP:
        Default();
        PrepareMenu(reinterpret_cast<HMENU>(wParam), GetHwnd());
        return 0;
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_MENU) {
            return 0;
        }
        MeasureMenuItem(*item);
        return TRUE;
    }
    case WM_DRAWITEM:
        if (DrawMenuItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        return Default();
    default:
        return std::nullopt;
    }
}

void CSkinWin::OnCalcSize(LPARAM lParam) {
    auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    RECT& r = params->rgrc[0];
    r.left += m_bands.left;
    r.top += m_bands.top;
    r.right -= m_bands.right;
    r.bottom -= m_bands.bottom;
    params->rgrc[1] = r;
}

void CSkinWin::OnEraseBackground(HDC dc) {
    if (!m_dialogBmp.HasImage() || dc == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(GetHwnd(), &client);
    const int w = m_dialogBmp.Width(), h = m_dialogBmp.Height();
    unique_hdc memory(CreateCompatibleDC(dc));
    unique_select_object select(memory.get(), m_dialogBmp.GetSafeHandle());
    for (int i = 0; i <= client.right / w; ++i) {
        for (int j = 0; j <= client.bottom / h; ++j) {
            BitBlt(dc, i * w, j * h, w, h, memory.get(), 0, 0, SRCCOPY);
        }
    }
}

LRESULT CSkinWin::OnNcHitTest(LPARAM lParam) {
    RECT window{};
    GetWindowRect(GetHwnd(), &window);
    const CFrameHitInput input = HitInput(window.right - window.left, window.bottom - window.top);
    return FrameHitTest(input, GET_X_LPARAM(lParam) - window.left, GET_Y_LPARAM(lParam) - window.top);
}

LRESULT CSkinWin::OnNcMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const int hit = static_cast<int>(wParam);
    const bool movesOrSizes = IsSizingHit(hit) || (hit == HTCAPTION && m_windowState != kStateMaximized);
    switch (message) {
    case WM_NCMOUSEMOVE:
        if (movesOrSizes) {
            Default();
        }
        HoverAt(hit);
        return 0;
    case WM_NCLBUTTONDOWN:
        m_pressedHit = m_hoverHit = hit;
        PaintFrame();
        if (IsCaptionButtonHit(hit)) {
            // So that the release is seen wherever it happens.
            m_trackingButton = true;
            SetCapture(GetHwnd());
        } else if (movesOrSizes) {
            Default(); // the system moves or sizes the window
        } else if (hit == HTSYSMENU) {
            ShowSystemMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        }
        return 0;
    case WM_NCLBUTTONUP:
        if (hit == HTCLOSE) {
            SendMessageA(GetHwnd(), WM_CLOSE, 0, 0);
            // The window may have refused to close.
            if (IsInstalled() && IsWindow(GetHwnd())) {
                ResetCaptionLook();
            }
            return 0;
        }
        if (hit == HTMINBUTTON) {
            Minimize();
        } else if (hit == HTMAXBUTTON) {
            if (m_windowState == kStateMaximized) {
                RestoreFromMaximized();
            } else {
                Maximize();
            }
        } else if (m_pressedHit == 0) {
            return 0;
        }
        // The button moved or the window changed under the pointer: the next
        // move shows what lies there now.
        ResetCaptionLook();
        return 0;
    case WM_NCLBUTTONDBLCLK:
        if (hit == HTCAPTION && m_sizable) {
            if (m_windowState == kStateMaximized) {
                RestoreFromMaximized();
            } else {
                Maximize();
            }
            ResetCaptionLook();
        }
        return 0;
    case WM_NCRBUTTONDOWN:
        if (hit == HTCAPTION) {
            ShowSystemMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        }
        return Default();
    default: // WM_NCRBUTTONUP: the system menu has been shown on the way down
        return 0;
    }
}

LRESULT CSkinWin::OnCapturedMouse(UINT message, LPARAM lParam) {
    HWND hwnd = GetHwnd();
    POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(hwnd, &screen);
    const LPARAM at = MAKELPARAM(screen.x, screen.y);
    const int hit = static_cast<int>(OnNcHitTest(at));
    if (message == WM_MOUSEMOVE) {
        HoverAt(hit); // as a move over the frame would, with nothing passed on
        return 0;
    }
    m_trackingButton = false;
    ReleaseCapture();
    if (IsCaptionButtonHit(hit)) {
        return OnNcMouse(WM_NCLBUTTONUP, static_cast<WPARAM>(hit), at);
    }
    ResetCaptionLook();
    return 0;
}

void CSkinWin::HoverAt(int hit) {
    m_hoverHit = hit;
    m_pressedHit = 0;
    if (hit != m_lastHit) {
        // Repaint on a change of area only, not on every move.
        PaintFrame();
        m_lastHit = hit;
    }
}

void CSkinWin::ResetCaptionLook() {
    m_pressedHit = m_hoverHit = m_lastHit = 0;
    PaintFrame();
}

void CSkinWin::Maximize() {
    HWND hwnd = GetHwnd();
    if (IsIconic(hwnd)) {
        RestoreFromMinimized();
    }
    if (m_windowState == kStateMaximized) {
        return; // a second maximize would lose the rectangle to restore
    }
    GetWindowRect(hwnd, &m_savedRect);
    m_windowState = kStateMaximized;
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    MoveWindow(hwnd, work.left, work.top, work.right - work.left, work.bottom - work.top, TRUE);
    UpdateWindow(hwnd);
}

void CSkinWin::RestoreFromMaximized() {
    if (m_windowState != kStateMaximized) {
        return;
    }
    HWND hwnd = GetHwnd();
    MoveWindow(hwnd, m_savedRect.left, m_savedRect.top, m_savedRect.right - m_savedRect.left,
               m_savedRect.bottom - m_savedRect.top, TRUE);
    m_windowState = kStateNormal;
    UpdateWindow(hwnd);
}

void CSkinWin::Minimize() {
    if (m_windowState == kStateMinimized) {
        return;
    }
    m_stateBeforeMinimize = m_windowState;
    m_windowState = kStateMinimized;
    ShowWindow(GetHwnd(), SW_MINIMIZE);
}

void CSkinWin::RestoreFromMinimized() {
    ShowWindow(GetHwnd(), SW_RESTORE);
    if (m_windowState == kStateMinimized) {
        m_windowState = m_stateBeforeMinimize;
    }
    PaintFrame();
}

void CSkinWin::RestoreCommand(bool sendWhenNormal) {
    // A minimized window is brought back first, whichever way it was minimized.
    if (m_windowState == kStateMinimized || IsIconic(GetHwnd())) {
        RestoreFromMinimized();
    } else if (m_windowState == kStateMaximized) {
        RestoreFromMaximized();
    } else if (sendWhenNormal) {
        SendMessageA(GetHwnd(), WM_SYSCOMMAND, kSysRestore, 0);
    } else {
        Default();
    }
}

void CSkinWin::ShowSystemMenu(POINT screen) {
    HMENU menu = GetSystemMenu(GetHwnd(), FALSE);
    if (menu != nullptr) {
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_LEFTBUTTON, screen.x, screen.y, 0, GetHwnd(), nullptr);
    }
}

bool CSkinWin::IsSystemMenuCommand(UINT id) const {
    HMENU menu = GetSystemMenu(GetHwnd(), FALSE);
    const int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
        if (GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info) && !(info.fType & MFT_SEPARATOR) &&
            info.hSubMenu == nullptr && info.wID == id) {
            return true;
        }
    }
    return false;
}

LRESULT CSkinWin::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    if (lParam != 0 || !IsSystemMenuCommand(id)) {
        return Default();
    }
    switch (id) {
    case SC_MAXIMIZE:
        Maximize();
        break;
    case SC_MINIMIZE:
        Minimize();
        break;
    case SC_RESTORE:
        RestoreCommand(true);
        break;
    default:
        SendMessageA(GetHwnd(), WM_SYSCOMMAND, id, 0);
        break;
    }
    return 0;
}

LRESULT CSkinWin::OnSysCommand(WPARAM wParam) {
    if (wParam == kSysMaximize) {
        Maximize();
        return 0;
    }
    if (wParam == kSysRestore && (m_windowState != kStateNormal || IsIconic(GetHwnd()))) {
        RestoreCommand(false);
        return 0;
    }
    return Default();
}
