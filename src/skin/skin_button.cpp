#include "skin/skin_button.h"

#include "skin/button_skin.h"
#include "skin/drawing.h"

#include "skin/core/button_layout.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

namespace {

constexpr COLORREF kButtonKey = RGB(255, 0, 255);
constexpr COLORREF kDisabledText = RGB(100, 100, 100);
// The focus rectangle lies this far inside the button, or inside the image's
// fixed border when that is wider.
constexpr int kFocusInset = 3;

// True when the window already has exactly this region, so that setting it
// again (which repaints) would only loop.
bool HasRegion(HWND hwnd, HRGN region) {
    unique_hrgn current(CreateRectRgn(0, 0, 0, 0));
    return GetWindowRgn(hwnd, current.get()) != ERROR && EqualRgn(current.get(), region);
}

} // namespace

CSkinButton::CSkinButton() : m_textColour(GetSysColor(COLOR_BTNTEXT)) {}

LRESULT CSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_PAINT:
            if (m_skin == nullptr || !m_skin->loaded) {
                break;
            }
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE:
            OnMouseMoveAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_LBUTTONDOWN:
            Press();
            return 0;
        case WM_LBUTTONUP:
            Release();
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                Press();
            }
            return 0;
        case WM_KEYUP:
            if (wParam == VK_SPACE) {
                Release();
            }
            return 0;
        case WM_LBUTTONDBLCLK:
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // Not passed on: the button's own procedure would draw the system
            // look. Repainted so that the focus rectangle follows Tab.
            InvalidateRect(m_hWnd, nullptr, FALSE);
            return 0;
        case WM_UPDATEUISTATE:
            // The window keeps the cues; the button's own procedure would
            // repaint in the system look.
            DefWindowProcA(m_hWnd, message, wParam, lParam);
            InvalidateRect(m_hWnd, nullptr, FALSE);
            return 0;
        case WM_ENABLE: {
            const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
            SetWindowLongPtrA(m_hWnd, GWL_STYLE, wParam ? (style & ~WS_DISABLED) : (style | WS_DISABLED));
            Redraw();
            return 0;
        }
        default:
            break;
        }
        return DefaultProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's dispatch.
        return 0;
    }
}

void CSkinButton::Redraw() {
    InvalidateRect(m_hWnd, nullptr, TRUE);
    UpdateWindow(m_hWnd);
}

void CSkinButton::Press() {
    m_pressed = true;
    m_hover = true;
    Redraw();
    SetFocus(m_hWnd);
}

void CSkinButton::Release() {
    ReleaseCapture();
    m_pressed = false;
    if (!m_hover) {
        Redraw(); // released outside the shape: no click
        return;
    }
    m_hover = false;
    Redraw();
    SendMessageA(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hWnd), BN_CLICKED),
                 reinterpret_cast<LPARAM>(m_hWnd));
}

void CSkinButton::OnMouseMoveAt(POINT point) {
    unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
    bool inside = false;
    if (GetWindowRgn(m_hWnd, region.get()) != ERROR) {
        inside = PtInRegion(region.get(), point.x, point.y);
    } else {
        // Not painted yet: no shape, the whole control counts.
        RECT client{};
        GetClientRect(m_hWnd, &client);
        inside = PtInRect(&client, point);
    }
    if (inside) {
        if (!m_hover) {
            m_hover = true;
            Redraw();
            SetCapture(m_hWnd); // so that the move that leaves is seen too
        }
    } else if (m_hover) {
        m_hover = false;
        Redraw();
        if (!m_pressed) {
            ReleaseCapture();
        }
    }
}

void CSkinButton::Paint() {
    unique_hdc_paint paint(m_hWnd);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int w = client.right, h = client.bottom;
    if (paint.get() == nullptr || w <= 0 || h <= 0) {
        return;
    }
    unique_hdc memory(CreateCompatibleDC(paint.get()));
    unique_hbitmap surface(CreateCompatibleBitmap(paint.get(), w, h));
    unique_hdc source(CreateCompatibleDC(paint.get()));
    if (!memory || !surface || !source) {
        return;
    }
    m_focused = GetFocus() == m_hWnd;
    m_enabled = !(GetWindowLongPtrA(m_hWnd, GWL_STYLE) & WS_DISABLED);
    const int index = ButtonStateImage(m_enabled, m_hover, m_pressed, m_focused);
    const CPixelRect state = ButtonStateSource(index, m_skin->bitmap.Width(), m_skin->bitmap.Height());
    const CNineGridBorders borders{m_skin->topHeight, m_skin->bottomHeight, m_skin->leftWidth,
                                   m_skin->rightWidth};
    {
        unique_select_object selectSurface(memory.get(), surface.get());
        unique_select_object selectSource(source.get(), m_skin->bitmap.GetSafeHandle());
        SetStretchBltMode(memory.get(), COLORONCOLOR);
        const auto copies = NineGridCopies(state, w, h, borders);
        for (std::size_t i = 0; i < copies.size(); ++i) {
            const CPixelRect& s = copies[i].source;
            const CPixelRect& d = copies[i].dest;
            if (i < 4) { // corners are copied unscaled
                BitBlt(memory.get(), d.left, d.top, d.right - d.left, d.bottom - d.top, source.get(), s.left,
                       s.top, SRCCOPY);
            } else {
                StretchBlt(memory.get(), d.left, d.top, d.right - d.left, d.bottom - d.top, source.get(),
                           s.left, s.top, s.right - s.left, s.bottom - s.top, SRCCOPY);
            }
        }
    }
    const unique_hrgn shape = RegionFromKeyColour(surface.get(), kButtonKey);
    if (!HasRegion(m_hWnd, shape.get())) {
        unique_hrgn copy(CreateRectRgn(0, 0, 0, 0));
        CombineRgn(copy.get(), shape.get(), nullptr, RGN_COPY);
        SetWindowRegion(m_hWnd, std::move(copy), true);
    }
    {
        unique_select_object selectSurface(memory.get(), surface.get());
        SelectClipRgn(paint.get(), shape.get());
        BitBlt(paint.get(), 0, 0, w, h, memory.get(), 0, 0, SRCCOPY);
        SelectClipRgn(paint.get(), nullptr);
    }
    const int length = GetWindowTextLengthA(m_hWnd);
    std::string caption(static_cast<std::size_t>(length) + 1, '\0');
    caption.resize(static_cast<std::size_t>(GetWindowTextA(m_hWnd, caption.data(), length + 1)));
    auto font = reinterpret_cast<HFONT>(SendMessageA(GetParent(m_hWnd), WM_GETFONT, 0, 0));
    unique_select_object selectFont(paint.get(), font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(paint.get(), m_enabled ? m_textColour : kDisabledText);
    SetBkMode(paint.get(), TRANSPARENT);
    DrawTextA(paint.get(), caption.c_str(), static_cast<int>(caption.size()), &client,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    // Keyboard users see where Tab went, unless cues wait for the keyboard.
    const auto cues = static_cast<UINT>(SendMessageA(m_hWnd, WM_QUERYUISTATE, 0, 0));
    if (m_focused && !(cues & UISF_HIDEFOCUS)) {
        RECT focus{std::max(kFocusInset, m_skin->leftWidth), std::max(kFocusInset, m_skin->topHeight),
                   w - std::max(kFocusInset, m_skin->rightWidth),
                   h - std::max(kFocusInset, m_skin->bottomHeight)};
        if (focus.right > focus.left && focus.bottom > focus.top) {
            DrawFocusRect(paint.get(), &focus);
        }
    }
}
