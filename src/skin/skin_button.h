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
    void SetSkin(const ButtonSkin* buttonSkin) { skin = buttonSkin; }
    bool IsHover() const { return hover; }
    bool IsPressed() const { return pressed; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    void OnMouseMoveAt(POINT point);
    void Press();
    void Release();
    void Redraw();

    const ButtonSkin* skin = nullptr;
    bool hover = false;
    bool pressed = false;
    bool focused = false;
    bool enabled = true;
    COLORREF textColour;
};
