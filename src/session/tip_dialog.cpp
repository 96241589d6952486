#include "session/tip_dialog.h"

#include "framework/bitmap_region.h"
#include "session/notice_resource.h"

#include <utility>

namespace {

constexpr UINT_PTR kNextNoticeTimer = 1;
constexpr UINT_PTR kAutoHideTimer = 2;
constexpr UINT_PTR kHoverTimer = 3;
constexpr UINT kNextNoticeMs = 1500;
constexpr UINT kAutoHideMs = 8000;
constexpr UINT kHoverMs = 100;

constexpr WORD kBackgroundBitmap = 127;
constexpr WORD kClosePressed = 128, kCloseNormal = 129, kCloseHover = 130;
constexpr WORD kNoticePicture = 132;

constexpr COLORREF kTextBlue = RGB(0, 0, 255);

} // namespace

CTipDlg::CTipDlg(HMODULE resources, std::function<void()> showMainWindow, std::function<void()> confirmExit)
    : CDialog(IDD_TIP), m_resources(resources), m_showMainWindow(std::move(showMainWindow)),
      m_confirmExit(std::move(confirmExit)) {}

CTipDlg::~CTipDlg() {
    // Before the members go: the controls still show the picture and are bound to them.
    if (m_hWnd) {
        DestroyWindow(m_hWnd);
    }
}

bool CTipDlg::Create() {
    return CDialog::Create(GetDesktopWindow());
}

void CTipDlg::AddNotice(int type, const std::wstring& text, const std::wstring& link) {
    CNotice notice{type, text, link};
    std::lock_guard lock(m_queueLock);
    m_queue.push_back(std::move(notice));
    if (m_queue.size() > kMaxWaiting) {
        m_queue.pop_front();
    }
}

size_t CTipDlg::QueueLength() const {
    std::lock_guard lock(m_queueLock);
    return m_queue.size();
}

bool CTipDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShapeAndPlace();
    m_close.SubclassDlgItem(IDC_TIP_CLOSE, m_hWnd);
    m_close.SetBitmaps(m_resources, kCloseNormal, kCloseHover, kClosePressed, kCloseNormal);
    m_text.SubclassDlgItem(IDC_TIP_TEXT, m_hWnd);
    m_text.SetColours(kTextBlue, kTextBlue, kTextBlue);
    m_text.SetUnderlineMode(CHyperLink::kUnderlineHover);
    m_text.SetCurrentUnderline(false);
    SetTimer(m_hWnd, kNextNoticeTimer, kNextNoticeMs, nullptr);
    // No default focus: giving a control the focus would activate the popup.
    return false;
}

void CTipDlg::ShapeAndPlace() {
    m_background = LoadBitmapResource(m_resources, kBackgroundBitmap);
    BITMAP info{};
    if (!m_background || !GetObjectW(m_background.get(), sizeof(info), &info)) {
        return;
    }
    unique_hrgn shape = CreateBitmapRegion(m_background.get());
    if (shape) {
        SetWindowRegion(m_hWnd, std::move(shape), true);
    }
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(m_hWnd, HWND_TOPMOST, (work.right - work.left) - info.bmWidth,
                 (work.bottom - work.top) - info.bmHeight, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CTipDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
    if (message == WM_SHOWWINDOW) {
        OnShowWindow(wParam != FALSE);
    }
    return result;
}

void CTipDlg::OnShowWindow(bool shown) {
    if (shown) {
        m_ready = false;
        SetTimer(m_hWnd, kAutoHideTimer, kAutoHideMs, nullptr);
        return;
    }
    m_ready = true;
    KillTimer(m_hWnd, kAutoHideTimer);
    // A hidden popup has nothing under the mouse: a hover poll left running
    // would restart the auto-hide timer of a window no longer shown.
    m_hovering = false;
    KillTimer(m_hWnd, kHoverTimer);
}

bool CTipDlg::OnEraseBkgnd(HDC dc) {
    if (!m_background) {
        return false;
    }
    DrawBitmapBackground(dc, m_background.get());
    return true;
}

bool CTipDlg::OnTimer(UINT_PTR id) {
    switch (id) {
    case kNextNoticeTimer:
        ShowNextNotice();
        return true;
    case kAutoHideTimer:
        // Killed here too: hiding a popup already hidden sends no WM_SHOWWINDOW.
        KillTimer(m_hWnd, kAutoHideTimer);
        Hide();
        return true;
    case kHoverTimer: {
        POINT cursor{};
        RECT window{};
        GetCursorPos(&cursor);
        GetWindowRect(m_hWnd, &window);
        if (!PtInRect(&window, cursor)) {
            m_hovering = false;
            KillTimer(m_hWnd, kHoverTimer);
            SetTimer(m_hWnd, kAutoHideTimer, kAutoHideMs, nullptr);
        }
        return true;
    }
    default:
        return false;
    }
}

void CTipDlg::ShowNextNotice() {
    if (!m_ready) {
        return;
    }
    {
        std::lock_guard lock(m_queueLock);
        if (m_queue.empty()) {
            return;
        }
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
    }
    if (m_current.type == NOTICE_MESSAGE || m_current.type == NOTICE_UPGRADE) {
        SetPicture(kNoticePicture);
    }
    HWND text = GetDlgItem(m_hWnd, IDC_TIP_TEXT);
    SetWindowTextW(text, m_current.text.c_str());
    // Always set: an earlier notice's link must not answer a click on this one.
    m_text.SetLinkTarget(m_current.link);

    m_ready = false;
    SetTimer(m_hWnd, kAutoHideTimer, kAutoHideMs, nullptr);
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CTipDlg::SetPicture(WORD id) {
    unique_hbitmap picture = LoadBitmapResource(m_resources, id);
    if (!picture) {
        return;
    }
    const auto previous = reinterpret_cast<HBITMAP>(SendDlgItemMessageW(
        m_hWnd, IDC_TIP_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get())));
    // A control that copied an image hands back its own copy, which is ours to free.
    if (previous && previous != m_picture.get()) {
        DeleteObject(previous);
    }
    m_picture = std::move(picture);
}

bool CTipDlg::OnMouseMove(UINT, POINT) {
    if (!m_hovering) {
        SetTimer(m_hWnd, kHoverTimer, kHoverMs, nullptr);
        m_hovering = true;
        KillTimer(m_hWnd, kAutoHideTimer);
    }
    return false;
}

bool CTipDlg::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED) {
        return CDialog::OnCommand(id, code, control);
    }
    switch (id) {
    case IDC_TIP_CLOSE:
        Hide();
        return true;
    case IDC_TIP_TEXT:
        OnTextClicked();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CTipDlg::OnTextClicked() {
    if (m_current.type == NOTICE_MESSAGE && m_showMainWindow) {
        m_showMainWindow();
    } else if (m_current.type == NOTICE_UPGRADE && m_confirmExit) {
        m_confirmExit();
    }
    // The action may have ended the session's windows, this one included.
    if (m_hWnd) {
        Hide();
    }
}

void CTipDlg::Hide() {
    ShowWindow(m_hWnd, SW_HIDE);
}

void CTipDlg::OnOK() {
    Hide();
}

void CTipDlg::OnCancel() {
    Hide();
}

void CTipDlg::OnDestroy() {
    KillTimer(m_hWnd, kNextNoticeTimer);
    CDialog::OnDestroy();
}
