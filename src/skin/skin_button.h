#pragma once
// A push button of a dialog drawn from the theme's five-state button image,
// shaped to the image's non-magenta pixels, with its own hover and press
// tracking and a focus rectangle for keyboard users; clicks reach the dialog
// as a push button's would.
#include "framework/window.h"

struct ButtonSkin;

class CSkinButton : public CWindow {
public:
    CSkinButton();

    // The shared skin (borrowed); null leaves the system's look.
    void SetSkin(const ButtonSkin* buttonSkin) { m_skin = buttonSkin; }
    bool IsHover() const { return m_hover; }
    bool IsPressed() const { return m_pressed; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    void OnMouseMoveAt(POINT point);
    void Press();
    void Release();
    void Redraw();

    const ButtonSkin* m_skin = nullptr;
    bool m_hover = false;
    bool m_pressed = false;
    bool m_focused = false;
    bool m_enabled = true;
    COLORREF m_textColour;
};
