#pragma once
// A static text control of a dialog turned into a link: drawn in link colours
// on a transparent background, underlined by mode, with the hand cursor and a
// tooltip. A click opens the target with the shell, a "mailto:" target in the
// mail composer, and an empty target reports the click to the parent.
#include "framework/gdi.h"
#include "framework/window.h"

#include <string>

class CHyperLink : public CWindow {
public:
    // 0: always underlined; 1: only while the mouse is over it; 2: never.
    enum : int { kUnderlineAlways = 0, kUnderlineHover = 1, kUnderlineNever = 2 };

    CHyperLink() = default;
    ~CHyperLink() override;

    // Trims white space from both ends; false, changing nothing, when both the
    // trimmed target and the window text are empty.
    bool SetLinkTarget(const std::wstring& target);
    const std::wstring& GetLinkTarget() const { return m_target; }

    void SetColours(COLORREF link, COLORREF hover, COLORREF visited);
    void SetUnderlineMode(int mode);
    // The underline of the next paint; mode 1 starts with false.
    void SetCurrentUnderline(bool underline);

    // The click's actions: the shell's "open" on target, or the command to the
    // parent for an empty one. Failures are shown to the user and give false.
    bool Open(const std::wstring& target);
    bool SendMail(const std::wstring& address, const std::wstring& name);

    bool Visited() const { return m_visited; }
    bool Hovering() const { return m_hovering; }
    COLORREF CurrentColour() const { return m_currentColour; }
    bool CurrentUnderline() const { return m_currentUnderline; }
    // Owned by this object; null before the control is subclassed.
    HWND GetToolTip() const { return m_toolTip; }

    // Relays the control's mouse messages to its tooltip.
    bool PreTranslateMessage(MSG& msg) override;

protected:
    void PreSubclassWindow() override;
    HBRUSH OnReflectedCtlColor(HDC dc, UINT message) override;
    bool OnSetCursor(HWND window, UINT hitTest, UINT mouseMessage) override;
    bool OnTimer(UINT_PTR id) override;
    bool OnLButtonDown(UINT flags, POINT point) override;
    bool OnLButtonUp(UINT flags, POINT point) override;
    void OnDestroy() override;

private:
    void Activate();
    COLORREF RestingColour() const { return m_visited ? m_visitedColour : m_linkColour; }
    // Redraws the control and the parent's background under its transparent text.
    void Repaint() const;
    void DestroyToolTip();

    COLORREF m_linkColour = RGB(0, 0, 255);
    COLORREF m_hoverColour = RGB(255, 255, 0);
    COLORREF m_pressedColour = RGB(255, 0, 0);
    COLORREF m_visitedColour = RGB(255, 0, 255);
    COLORREF m_currentColour = RGB(0, 0, 255);
    COLORREF m_backgroundColour = RGB(255, 255, 255);
    int m_bkMode = TRANSPARENT;
    int m_underlineMode = kUnderlineAlways;
    bool m_currentUnderline = true;
    bool m_hovering = false;
    bool m_visited = false;
    unique_hfont m_font;         // made for the last paint, and the control's font meanwhile
    HFONT m_ownerFont = nullptr; // borrowed: the font the control's owner gave it
    unique_hbrush m_brush;       // hollow background
    HCURSOR m_cursor = nullptr;  // shared system cursor, never destroyed
    HWND m_toolTip = nullptr;    // owned, destroyed with the control
    std::wstring m_target;
};

// Whether a link target goes to the mail composer: "mailto:" in any case at its start.
bool IsMailTarget(const std::wstring& target);
// The target without white space at either end.
std::wstring TrimLinkTarget(const std::wstring& target);
