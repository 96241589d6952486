#pragma once
// A push button of a dialog drawn from four bitmaps of the resource library
// (normal, hover, pressed, disabled), magenta being transparent. Hover is
// polled with a short timer; clicks stay the platform's.
#include "framework/gdi.h"
#include "framework/window.h"

class CSkinBtn : public CWindow {
public:
    enum : int { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

    CSkinBtn() = default;
    ~CSkinBtn() override;

    // Loads the four images from resources (borrowed) by bitmap id; an image
    // that does not load leaves its state showing what is already on screen.
    void SetBitmaps(HMODULE resources, WORD normal, WORD hover, WORD pressed, WORD disabled);

    // The image on show: kNormal to kDisabled.
    int State() const { return m_state; }
    bool IsHovering() const { return m_hovering; }

protected:
    void PreSubclassWindow() override;
    bool OnReflectedDrawItem(const DRAWITEMSTRUCT& item) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnMouseMove(UINT flags, POINT point) override;
    bool OnTimer(UINT_PTR id) override;
    bool OnEraseBkgnd(HDC dc) override;
    bool OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage) override;

private:
    struct Image {
        unique_hbitmap bitmap; // owned DIB section
        SIZE size{};
    };

    void Paint();
    bool CursorOutside() const;

    Image m_images[4];
    int m_state = kNormal;
    bool m_hovering = false;
    bool m_enabled = true;
    // The window region is set once, at the first erase.
    bool m_shaped = false;
};
