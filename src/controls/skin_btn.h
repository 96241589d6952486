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

    // The four images by bitmap id in resources (borrowed for the button's
    // life): the normal one loads now, the others at their first showing,
    // and a state with the same id as an earlier one shows that image. An
    // image that does not load leaves its state showing what is on screen.
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
        WORD id = 0;
        bool tried = false;    // loaded, or failed to
        unique_hbitmap bitmap; // owned DIB section
        SIZE size{};
    };

    const Image& ImageFor(int state);
    void Paint();
    bool CursorOutside() const;

    HMODULE m_resources = nullptr;
    Image m_images[4];
    int m_state = kNormal;
    bool m_hovering = false;
    bool m_enabled = true;
    // The window region is set once, at the first erase.
    bool m_shaped = false;
};
