#pragma once
// The skinned frame of one dialog: draws the frame, title and caption
// buttons from the theme's "Personality" images and takes over the window's
// whole non-client behaviour (sizing, moving, its own maximize and minimize,
// the system menu).
#include "skin/core/frame_layout.h"
#include "skin/my_bitmap.h"
#include "skin/subclass_wnd.h"

#include <optional>
#include <string>

class CThemeFile;

class CSkinWin : public CSubclassWnd {
public:
    // Loads the frame theme; the caller checks IsLoaded().
    explicit CSkinWin(const std::string& themePath);
    ~CSkinWin() override;

    bool IsLoaded() const { return m_loaded; }
    // The window style bits the frame obeys, taken when it is installed.
    void SetStyleBits(bool isSizable, bool minBox, bool maxBox);
    int WindowState() const { return m_windowState; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum class Band { Top, Left, Right, Bottom };

    void LoadTheme(const std::string& themePath);
    bool LoadCaptionButtons(CThemeFile& theme);

    // Messages, by group; each answers the messages of its group and no others.
    // Activation, size, text and background of the window.
    std::optional<LRESULT> OnStateMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The non-client frame: its size, hit test, painting and mouse.
    std::optional<LRESULT> OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The client area's mouse while a caption button may hold the capture.
    std::optional<LRESULT> OnMouseMessage(UINT message, LPARAM lParam);
    // Owner-drawn popup menus.
    std::optional<LRESULT> OnMenuMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnNcHitTest(LPARAM lParam);
    LRESULT OnNcMouse(UINT message, WPARAM wParam, LPARAM lParam);
    // Mouse messages while a pressed caption button holds the capture.
    LRESULT OnCapturedMouse(UINT message, LPARAM lParam);
    // The pointer moved over hit: nothing pressed any more, repainted on a change of area.
    void HoverAt(int hit);
    // No caption button pressed or hovered, and the next move repaints.
    void ResetCaptionLook();
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnSysCommand(WPARAM wParam);
    void OnEraseBackground(HDC dc);
    void OnCalcSize(LPARAM lParam);

    // Window states: the library maximizes by moving, not through the system.
    void Maximize();
    void RestoreFromMaximized();
    void Minimize();
    void RestoreFromMinimized();
    void RestoreCommand(bool sendWhenNormal);
    void ShowSystemMenu(POINT screen);
    bool IsSystemMenuCommand(UINT id) const;

    // Drawing (skin_win_paint.cpp).
    void PaintFrame();
    void ApplyShape();
    unique_hrgn StripShape(HDC window, const RECT& strip, int w, int h) const;
    void DrawBand(HDC dc, Band band, bool activeLook, int start, int length, int across) const;
    void DrawCaptionButtons(HDC dc, int windowWidth) const;
    void DrawCaptionButton(HDC dc, const CMyBitmap& image, const CPixelRect& themeRect, int imageIndex,
                           int windowWidth) const;
    void DrawIcon(HDC dc) const;
    void DrawTitle(HDC dc, HDC windowDC, int windowWidth);
    CFrameHitInput HitInput(int windowWidth, int windowHeight) const;
    const CPixelRect& MaxPositionRect() const;
    bool ShowsRestore() const;

    std::string m_title;
    CMyBitmap m_top, m_left, m_right, m_bottom;
    CMyBitmap m_dialogBmp;
    int m_lastHit = 0;
    int m_hoverHit = 0;
    int m_pressedHit = 0;
    // A caption button went down and the window holds the capture until it is released.
    bool m_trackingButton = false;
    CBandSplit m_topSplit, m_leftSplit, m_rightSplit, m_bottomSplit;
    CMyBitmap m_minButton, m_maxButton, m_closeButton, m_restoreButton;
    CPixelRect m_minRect{}, m_maxRect{}, m_closeRect{}, m_restoreRect{};
    RECT m_savedRect{};
    int m_windowState = kStateNormal;
    int m_stateBeforeMinimize = kStateNormal;
    bool m_sizable = false, m_hasMinBox = false, m_hasMaxBox = false;
    CFrameBands m_bands;
    int m_buttonImgCount = 4;
    int m_textShift = 0, m_textShiftVert = 0;
    COLORREF m_titleText = 0, m_inactiveTitleText = 0, m_transColor = RGB(255, 0, 255), m_windowText = 0;
    bool m_usesTran = false;
    bool m_loaded = false;
    bool m_active = false;
};
