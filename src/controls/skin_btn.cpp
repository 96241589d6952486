#include "controls/skin_btn.h"

namespace {

constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverPollMs = 10;
constexpr COLORREF kTransparent = RGB(255, 0, 255);

} // namespace

CSkinBtn::~CSkinBtn() {
    if (m_hWnd) {
        KillTimer(m_hWnd, kHoverTimer);
    }
}

void CSkinBtn::SetBitmaps(HMODULE resources, WORD normal, WORD hover, WORD pressed, WORD disabled) {
    m_resources = resources;
    const WORD ids[] = {normal, hover, pressed, disabled};
    for (int i = 0; i < 4; ++i) {
        m_images[i] = {};
        m_images[i].id = ids[i];
    }
    // The first paint needs it; the others wait for their first showing.
    ImageFor(kNormal);
    if (m_hWnd) {
        InvalidateRect(m_hWnd, nullptr, FALSE);
    }
}

// Loaded at its first use, and shared with the first state of the same id.
const CSkinBtn::Image& CSkinBtn::ImageFor(int state) {
    int owner = state;
    for (int i = 0; i < state; ++i) {
        if (m_images[i].id == m_images[state].id) {
            owner = i;
            break;
        }
    }
    Image& image = m_images[owner];
    if (!image.tried) {
        image.tried = true;
        image.bitmap = LoadBitmapResource(m_resources, image.id);
        BITMAP info{};
        if (image.bitmap && GetObjectW(image.bitmap.get(), sizeof(info), &info)) {
            image.size = {info.bmWidth, info.bmHeight};
        }
    }
    return image;
}

void CSkinBtn::PreSubclassWindow() {
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CSkinBtn::OnReflectedDrawItem(const DRAWITEMSTRUCT& item) {
    // The pressed and hover images only for the focused button: the system's
    // redraws of an unfocused one show it normal.
    m_state = kNormal;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    if ((item.itemState & ODS_FOCUS) && (selected || m_hovering)) {
        m_state = selected ? kPressed : kHover;
    }
    if (item.itemState & ODS_DISABLED) {
        m_state = kDisabled;
        m_enabled = false;
    }
    Paint();
    return true;
}

void CSkinBtn::Paint() {
    if (!m_hWnd) {
        return;
    }
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) {
        return;
    }
    unique_hdc_window dc(m_hWnd);
    if (!dc.get()) {
        return;
    }
    // Start from what is on screen, so the transparent pixels keep it.
    unique_hdc buffer(CreateCompatibleDC(dc.get()));
    unique_hbitmap bitmap(CreateCompatibleBitmap(dc.get(), width, height));
    if (!buffer || !bitmap) {
        return;
    }
    unique_select_object selectBitmap(buffer.get(), bitmap.get());
    BitBlt(buffer.get(), 0, 0, width, height, dc.get(), 0, 0, SRCCOPY);
    const Image& image = ImageFor(m_state);
    if (image.bitmap) {
        unique_hdc source(CreateCompatibleDC(dc.get()));
        if (source) {
            unique_select_object selectImage(source.get(), image.bitmap.get());
            TransparentBlt(buffer.get(), 0, 0, image.size.cx, image.size.cy, source.get(), 0, 0,
                           image.size.cx, image.size.cy, kTransparent);
        }
    }
    BitBlt(dc.get(), 0, 0, width, height, buffer.get(), 0, 0, SRCCOPY);
}

bool CSkinBtn::CursorOutside() const {
    POINT cursor{};
    RECT window{};
    GetCursorPos(&cursor);
    GetWindowRect(m_hWnd, &window);
    return !PtInRect(&window, cursor);
}

bool CSkinBtn::OnMouseMove(UINT, POINT) {
    if (m_hovering || !m_enabled) {
        return false;
    }
    m_hovering = true;
    m_state = kHover;
    if (CursorOutside()) {
        SetTimer(m_hWnd, kHoverTimer, kHoverPollMs, nullptr);
        return true;
    }
    Paint();
    SetTimer(m_hWnd, kHoverTimer, kHoverPollMs, nullptr);
    return false;
}

bool CSkinBtn::OnTimer(UINT_PTR) {
    if (m_hovering && m_enabled && CursorOutside()) {
        KillTimer(m_hWnd, kHoverTimer);
        m_hovering = false;
        m_state = kNormal;
        Paint();
    }
    return false;
}

bool CSkinBtn::OnEraseBkgnd(HDC) {
    if (!m_shaped) {
        RECT client{};
        GetClientRect(m_hWnd, &client);
        // The system owns the region once it is set.
        SetWindowRegion(m_hWnd, unique_hrgn(CreateRectRgnIndirect(&client)), true);
        m_shaped = true;
    }
    return true;
}

bool CSkinBtn::OnSetCursor(HWND, UINT, UINT) {
    // The pointer keeps the shape it had when it came in.
    return true;
}

LRESULT CSkinBtn::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENABLE) {
        const LRESULT result = DefaultProc(message, wParam, lParam);
        m_enabled = wParam != FALSE;
        return result;
    }
    return CWindow::WindowProc(message, wParam, lParam);
}
