// Drawing of the skinned frame: bands, caption buttons, icon and title.
#include "skin/drawing.h"
#include "skin/skin_win.h"

#include "skin/core/frame_layout.h"

#include <algorithm>
#include <string>

namespace {

// The title font: "宋体" (SimSun), 12 pixels high, normal weight.
constexpr wchar_t kTitleFace[] = L"\u5B8B\u4F53";
constexpr LONG kTitleFontHeight = 12;

// A bitmap compatible with a target, at least one pixel each way.
unique_hbitmap CompatibleBitmap(HDC target, int width, int height) {
    return unique_hbitmap(CreateCompatibleBitmap(target, std::max(width, 1), std::max(height, 1)));
}

SIZE WindowSize(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return {r.right - r.left, r.bottom - r.top};
}

} // namespace

void CSkinWin::DrawBand(HDC dc, Band band, bool activeLook, int start, int length, int across) const {
    const bool horizontal = band == Band::Top || band == Band::Bottom;
    const CMyBitmap& image = band == Band::Top     ? m_top
                             : band == Band::Left  ? m_left
                             : band == Band::Right ? m_right
                                                   : m_bottom;
    const CBandSplit split = band == Band::Top     ? m_topSplit
                             : band == Band::Left  ? m_leftSplit
                             : band == Band::Right ? m_rightSplit
                                                   : m_bottomSplit;
    unique_hdc source(CreateCompatibleDC(dc));
    unique_select_object select(source.get(), image.GetSafeHandle());
    // Active look: upper half (horizontal bands) or left half (vertical ones).
    const int thickness = horizontal ? image.Height() / 2 : image.Width() / 2;
    const int lookOffset = activeLook ? 0 : thickness;
    const int imageLength = horizontal ? image.Width() : image.Height();
    for (const CBandCopy& copy : BandCopies(start, length, split, imageLength, horizontal)) {
        if (horizontal) {
            BitBlt(dc, copy.dest, across, copy.length, thickness, source.get(), copy.srcStart, lookOffset,
                   SRCCOPY);
        } else {
            BitBlt(dc, across, copy.dest, thickness, copy.length, source.get(), lookOffset, copy.srcStart,
                   SRCCOPY);
        }
    }
}

void CSkinWin::PaintFrame() {
    HWND hwnd = GetHwnd();
    if (!m_loaded || hwnd == nullptr) {
        return;
    }
    const SIZE size = WindowSize(hwnd);
    const int w = size.cx, h = size.cy;
    // Nothing drawn on a hidden window is seen, and the system paints the
    // frame again when it shows: before it shows, a window the size of the
    // screen was painted three times for nothing.
    if (!IsWindowVisible(hwnd)) {
        if (!m_usesTran) {
            SetWindowRegion(hwnd, unique_hrgn(CreateRectRgn(0, 0, w, h)), false);
        }
        return;
    }
    const int t = m_bands.top, l = m_bands.left, r = m_bands.right, b = m_bands.bottom;
    unique_hdc_window window(hwnd, unique_hdc_window::kWholeWindow);
    if (!window) {
        return;
    }
    // Sides and bottom straight onto the window, around the title band.
    ExcludeClipRect(window.get(), 0, 0, w, t);
    DrawBand(window.get(), Band::Left, m_active, 0, h, 0);
    DrawBand(window.get(), Band::Right, m_active, 0, h, w - r);
    DrawBand(window.get(), Band::Bottom, m_active, l, w - r - l, h - b);
    SelectClipRgn(window.get(), nullptr);

    // The title band is composed off-screen and copied in one go.
    unique_hdc band(CreateCompatibleDC(window.get()));
    unique_hbitmap bandBitmap = CompatibleBitmap(window.get(), w, t);
    if (!band || !bandBitmap) {
        return;
    }
    unique_select_object selectBand(band.get(), bandBitmap.get());
    DrawBand(band.get(), Band::Top, m_active, l, w - r - l + 1, 0);
    DrawBand(band.get(), Band::Left, m_active, 0, m_left.Height(), 0);
    DrawBand(band.get(), Band::Right, m_active, 0, m_right.Height(), w - r);
    if (m_usesTran) {
        selectBand.reset(); // a bitmap's pixels are read outside any DC
        unique_hrgn shape = RegionFromKeyColour(bandBitmap.get(), m_transColor);
        selectBand = unique_select_object(band.get(), bandBitmap.get());
        unique_hrgn body(CreateRectRgn(0, t, w, h));
        CombineRgn(shape.get(), shape.get(), body.get(), RGN_OR);
        SelectClipRgn(window.get(), shape.get());
    } else {
        SetWindowRegion(hwnd, unique_hrgn(CreateRectRgn(0, 0, w, h)), false);
    }
    DrawCaptionButtons(band.get(), w);
    DrawIcon(band.get());
    DrawTitle(band.get(), window.get(), w);
    BitBlt(window.get(), 0, 0, w, t, band.get(), 0, 0, SRCCOPY);
    SelectClipRgn(window.get(), nullptr);
}

void CSkinWin::ApplyShape() {
    HWND hwnd = GetHwnd();
    InvalidateRect(hwnd, nullptr, TRUE);
    PaintFrame();
    if (!m_usesTran) {
        SetWindowRgn(hwnd, nullptr, TRUE);
        return;
    }
    const SIZE size = WindowSize(hwnd);
    const int w = size.cx, h = size.cy;
    unique_hdc_window window(hwnd, unique_hdc_window::kWholeWindow);
    if (!window) {
        return;
    }
    // Only the bands can hold the key colour: each band's strip is read on its
    // own, not the whole window, which is most of a sign-in's time for a
    // window the size of the screen. The body between them stays solid unless
    // black, its colour in the mask, is the key.
    const int top = std::min(m_bands.top, h), bottom = std::max(h - m_bands.bottom, top);
    const int left = std::min(m_bands.left, w), right = std::max(w - m_bands.right, left);
    const RECT strips[] = {
        {0, 0, w, top}, {0, bottom, w, h}, {0, top, left, bottom}, {right, top, w, bottom}};
    unique_hrgn shape(CreateRectRgn(0, 0, 0, 0));
    if (!shape) {
        return;
    }
    for (const RECT& strip : strips) {
        unique_hrgn part = StripShape(window.get(), strip, w, h);
        if (!part) {
            return;
        }
        CombineRgn(shape.get(), shape.get(), part.get(), RGN_OR);
    }
    if (m_transColor != RGB(0, 0, 0)) {
        unique_hrgn body(CreateRectRgn(left, top, right, bottom));
        CombineRgn(shape.get(), shape.get(), body.get(), RGN_OR);
    }
    SetWindowRegion(hwnd, std::move(shape), true);
}

// The bands drawn in their active look over black, as seen through one strip
// of a window w x h; the part of the strip that is not the key colour.
unique_hrgn CSkinWin::StripShape(HDC window, const RECT& strip, int w, int h) const {
    const int stripWidth = strip.right - strip.left, stripHeight = strip.bottom - strip.top;
    if (stripWidth <= 0 || stripHeight <= 0) {
        return unique_hrgn(CreateRectRgn(0, 0, 0, 0));
    }
    unique_hdc mask(CreateCompatibleDC(window));
    unique_hbitmap maskBitmap = CompatibleBitmap(window, stripWidth, stripHeight);
    if (!mask || !maskBitmap) {
        return {};
    }
    {
        unique_select_object selectMask(mask.get(), maskBitmap.get());
        PatBlt(mask.get(), 0, 0, stripWidth, stripHeight, BLACKNESS);
        SetViewportOrgEx(mask.get(), -strip.left, -strip.top, nullptr);
        DrawBand(mask.get(), Band::Top, true, m_bands.left, w - m_bands.right - m_bands.left + 1, 0);
        DrawBand(mask.get(), Band::Left, true, 0, h, 0);
        DrawBand(mask.get(), Band::Right, true, 0, h, w - m_bands.right);
        DrawBand(mask.get(), Band::Bottom, true, m_bands.left, w - m_bands.right - m_bands.left,
                 h - m_bands.bottom);
    }
    unique_hrgn part = RegionFromKeyColour(maskBitmap.get(), m_transColor);
    if (part) {
        OffsetRgn(part.get(), strip.left, strip.top);
    }
    return part;
}

bool CSkinWin::ShowsRestore() const {
    return m_windowState == kStateMaximized && m_restoreButton.HasImage();
}

const CPixelRect& CSkinWin::MaxPositionRect() const {
    return ShowsRestore() ? m_restoreRect : m_maxRect;
}

void CSkinWin::DrawCaptionButton(HDC dc, const CMyBitmap& image, const CPixelRect& themeRect, int imageIndex,
                                 int windowWidth) const {
    const CPixelRect at = CaptionButtonWindowRect(themeRect, windowWidth);
    const int width = at.right - at.left;
    const int height = at.bottom - at.top;
    if (m_usesTran) {
        TransparentCopy(dc, at.left, at.top, width, height, image.GetSafeHandle(), imageIndex * width, 0,
                        m_transColor);
        return;
    }
    unique_hdc source(CreateCompatibleDC(dc));
    unique_select_object select(source.get(), image.GetSafeHandle());
    BitBlt(dc, at.left, at.top, width, height, source.get(), imageIndex * width, 0, SRCCOPY);
}

void CSkinWin::DrawCaptionButtons(HDC dc, int windowWidth) const {
    if (m_closeButton.HasImage()) {
        DrawCaptionButton(dc, m_closeButton, m_closeRect,
                          CaptionButtonStateIndex(HTCLOSE, m_pressedHit, m_hoverHit), windowWidth);
    }
    if (m_hasMinBox && m_minButton.HasImage()) {
        DrawCaptionButton(dc, m_minButton, m_minRect,
                          CaptionButtonStateIndex(HTMINBUTTON, m_pressedHit, m_hoverHit), windowWidth);
    }
    const CMyBitmap& maxImage = ShowsRestore() ? m_restoreButton : m_maxButton;
    if (maxImage.HasImage()) {
        const int index = MaxButtonImageIndex(m_hasMaxBox, m_hasMinBox,
                                              CaptionButtonStateIndex(HTMAXBUTTON, m_pressedHit, m_hoverHit),
                                              m_buttonImgCount);
        if (index >= 0) {
            DrawCaptionButton(dc, maxImage, MaxPositionRect(), index, windowWidth);
        }
    }
}

void CSkinWin::DrawIcon(HDC dc) const {
    auto icon = reinterpret_cast<HICON>(SendMessageA(GetHwnd(), WM_GETICON, ICON_SMALL, 0));
    if (icon == nullptr) {
        return;
    }
    const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    unique_hicon scaled(static_cast<HICON>(CopyImage(icon, IMAGE_ICON, cx, cy, 0)));
    if (scaled) {
        DrawIconEx(dc, m_bands.left, kIconTop, scaled.get(), cx, cy, 0, nullptr, DI_NORMAL);
    }
}

void CSkinWin::DrawTitle(HDC dc, HDC windowDC, int windowWidth) {
    HWND hwnd = GetHwnd();
    if (m_title.empty()) {
        const int length = GetWindowTextLengthA(hwnd);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        text.resize(static_cast<std::size_t>(GetWindowTextA(hwnd, text.data(), length + 1)));
        m_title = text;
    }
    // Everything but face, size and weight comes from the dialog's font, or
    // from the window DC's when the dialog has none.
    auto base = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    if (base == nullptr) {
        base = static_cast<HFONT>(GetCurrentObject(windowDC, OBJ_FONT));
    }
    LOGFONTW font{};
    GetObjectW(base, sizeof(font), &font);
    wcscpy_s(font.lfFaceName, kTitleFace);
    font.lfHeight = kTitleFontHeight;
    font.lfWidth = 0;
    font.lfWeight = FW_NORMAL;
    unique_hfont titleFont(CreateFontIndirectW(&font));
    unique_select_object select(dc, titleFont.get());
    SetTextColor(dc, m_active ? m_titleText : m_inactiveTitleText);
    SetBkMode(dc, TRANSPARENT);
    const CPixelRect at = TitleTextBox(m_textShift, m_textShiftVert, windowWidth, m_top.Width(),
                                       m_topSplit.farEdge, m_bands.top);
    RECT box{at.left, at.top, at.right, at.bottom};
    DrawTextA(dc, m_title.c_str(), static_cast<int>(m_title.size()), &box,
              DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS);
}

CFrameHitInput CSkinWin::HitInput(int windowWidth, int windowHeight) const {
    CFrameHitInput input;
    input.width = windowWidth;
    input.height = windowHeight;
    input.bands = m_bands;
    input.hasClose = m_closeButton.HasImage();
    input.hasMin = m_minButton.HasImage();
    input.hasMax = m_maxButton.HasImage();
    input.close = CaptionButtonWindowRect(m_closeRect, windowWidth);
    input.min = CaptionButtonWindowRect(m_minRect, windowWidth);
    input.max = CaptionButtonWindowRect(MaxPositionRect(), windowWidth);
    input.hasMinBox = m_hasMinBox;
    input.hasMaxBox = m_hasMaxBox;
    input.sizable = m_sizable;
    input.windowState = m_windowState;
    input.smallIconWidth = GetSystemMetrics(SM_CXSMICON);
    input.smallIconHeight = GetSystemMetrics(SM_CYSMICON);
    return input;
}
