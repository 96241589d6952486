#include "skin/button_skin.h"
#include "skin/skin_button.h"
#include "skin_test_theme.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::Pump;

constexpr int kButtonId = 321;
constexpr int kWidth = 80, kHeight = 30;
const POINT kInside{40, 8};
const POINT kOutside{200, 200};

class SkinButton : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadButtonSkin(
            m_skin, m_theme.Write("", "[Buttons]\r\nBitmap=button.bmp\r\nTopHeight=2\r\nBottomHeight=2\r\n"
                                      "LeftWidth=2\r\nRightWidth=2\r\n")));
        if (s_parent == nullptr) {
            // One visible parent for the suite: showing a top-level window is slow under Wine.
            s_parent = new CRecordingWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        }
        s_parent->seen.clear();
        m_control =
            CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, kWidth,
                            kHeight, s_parent->Hwnd(), reinterpret_cast<HMENU>(kButtonId), nullptr, nullptr);
        ASSERT_TRUE(m_button.Subclass(m_control));
        m_button.SetSkin(&m_skin);
        Repaint();
    }
    void TearDown() override { DestroyWindow(m_control); }
    static void TearDownTestSuite() {
        delete s_parent;
        s_parent = nullptr;
    }

    void Repaint() {
        RedrawWindow(m_control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump();
    }
    void Send(UINT message, POINT at = {}, WPARAM wParam = 0) {
        SendMessageW(m_control, message, wParam, MAKELPARAM(at.x, at.y));
    }
    int Clicks() const {
        int n = 0;
        for (const MSG& s : s_parent->seen) {
            n += s.message == WM_COMMAND && s.wParam == MAKEWPARAM(kButtonId, BN_CLICKED) &&
                 s.lParam == reinterpret_cast<LPARAM>(m_control);
        }
        return n;
    }
    // A pixel of the face: the state image shown.
    COLORREF Face() {
        Repaint();
        unique_hdc_window dc(m_control);
        return GetPixel(dc.get(), 5, 5);
    }
    // Pixels of the focus rectangle's top edge that differ from the face.
    int FocusMarks() {
        Pump();
        const skintest::CWindowPicture picture(m_control, unique_hdc_window::kClientArea);
        int marks = 0;
        for (int x = 4; x < kWidth - 4; ++x) {
            marks += picture.At(x, 3) != picture.At(x, 5);
        }
        return marks;
    }
    void Cues(WORD action) {
        SendMessageW(m_control, WM_UPDATEUISTATE, MAKEWPARAM(action, UISF_HIDEFOCUS), 0);
    }

    skintest::CTempFolder m_folder;
    CFrameTheme m_theme{m_folder};
    ButtonSkin m_skin;
    CSkinButton m_button;
    static CRecordingWindow* s_parent;
    HWND m_control = nullptr;
};

CRecordingWindow* SkinButton::s_parent = nullptr;

TEST_F(SkinButton, Clicks) {
    // Steps: m/o/k move inside, outside or onto a key-colour corner; d/u press
    // and release the mouse button where it is; s/e press and release space or enter.
    POINT at = kInside;
    auto doStep = [&](char step) {
        if (step == 's' || step == 'e') {
            Send(WM_KEYDOWN, {}, step == 's' ? VK_SPACE : VK_RETURN);
            Send(WM_KEYUP, {}, step == 's' ? VK_SPACE : VK_RETURN);
        } else if (step == 'd' || step == 'u') {
            Send(step == 'd' ? WM_LBUTTONDOWN : WM_LBUTTONUP, at);
        } else {
            at = step == 'o' ? kOutside : step == 'k' ? POINT{0, 0} : kInside;
            Send(WM_MOUSEMOVE, at);
        }
    };
    const struct {
        const char* name;
        const char* steps;
        int clicks;
    } cases[] = {
        {"click", "mdu", 1},
        {"released outside", "mdou", 0},
        {"dragged back on", "mdomu", 1},
        {"space", "s", 1},
        {"enter", "e", 0},
        {"key-colour corner", "ku", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = Clicks();
        for (const char* step = c.steps; *step != '\0'; ++step) {
            doStep(*step);
            if (*step == 'o') {
                EXPECT_EQ(GetCapture(), m_control) << "capture is kept while pressed";
                EXPECT_TRUE(m_button.IsPressed());
            }
        }
        EXPECT_EQ(Clicks() - before, c.clicks);
        EXPECT_FALSE(m_button.IsPressed());
        EXPECT_FALSE(m_button.IsHover()) << "the next move sets it again";
        EXPECT_NE(GetCapture(), m_control);
    }
    // Without a skin the system draws, but clicks are still handled here.
    m_button.SetSkin(nullptr);
    Repaint();
    const int before = Clicks();
    for (char step : {'m', 'd', 'u'}) {
        doStep(step);
    }
    EXPECT_EQ(Clicks() - before, 1);
}

LRESULT CALLBACK CountPositionChanges(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR counter) {
    *reinterpret_cast<int*>(counter) += message == WM_WINDOWPOSCHANGED;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

TEST_F(SkinButton, ShapeLeavesOutTheKeyColourAndIsSetOnlyWhenItChanges) {
    unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(m_control, region.get()), ERROR);
    EXPECT_FALSE(PtInRegion(region.get(), 0, 0));
    EXPECT_FALSE(PtInRegion(region.get(), kWidth - 1, kHeight - 1));
    EXPECT_TRUE(PtInRegion(region.get(), 1, 0));
    // Setting the same region again would repaint the button forever; the
    // platform moves the window (in place) for each region set.
    int moves = 0;
    SetWindowSubclass(m_control, CountPositionChanges, 1, reinterpret_cast<DWORD_PTR>(&moves));
    Repaint();
    // Nor do focus changes, which repaint.
    SetFocus(s_parent->Hwnd());
    Pump();
    SetFocus(m_control);
    EXPECT_TRUE(GetUpdateRect(m_control, nullptr, FALSE));
    Repaint();
    RemoveWindowSubclass(m_control, CountPositionChanges, 1);
    EXPECT_EQ(moves, 0);
}

TEST_F(SkinButton, StateImages) {
    // State image i is filled with RGB(40 * i, 100, 100).
    EXPECT_EQ(Face(), RGB(0, 100, 100));
    Send(WM_MOUSEMOVE, kInside);
    EXPECT_EQ(Face(), RGB(40, 100, 100)) << "hover";
    Send(WM_LBUTTONDOWN, kInside);
    EXPECT_EQ(Face(), RGB(80, 100, 100)) << "pressed";
    Send(WM_MOUSEMOVE, kOutside);
    EXPECT_EQ(Face(), RGB(120, 100, 100)) << "pressed and dragged off shows the focused image";
    Send(WM_LBUTTONUP, kOutside);
    EnableWindow(m_control, FALSE);
    EXPECT_EQ(Face(), RGB(160, 100, 100)) << "disabled";
}

// Keeps the focus cue of a control as the platform does (the one the tests
// run on answers every query with "shown"), in front of its other handlers.
LRESULT CALLBACK KeepFocusCue(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR hidden) {
    auto* hide = reinterpret_cast<bool*>(hidden);
    if (message == WM_QUERYUISTATE) {
        return *hide ? UISF_HIDEFOCUS : 0;
    }
    if (message == WM_UPDATEUISTATE && (HIWORD(wParam) & UISF_HIDEFOCUS)) {
        *hide = LOWORD(wParam) == UIS_SET;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

TEST_F(SkinButton, FocusRectangleFollowsTabUnlessCuesWaitForTheKeyboard) {
    bool hidden = true;
    SetWindowSubclass(m_control, KeepFocusCue, 2, reinterpret_cast<DWORD_PTR>(&hidden));
    Cues(UIS_CLEAR);
    SetFocus(m_control);
    EXPECT_GT(FocusMarks(), 10) << "focused";
    Cues(UIS_SET);
    EXPECT_EQ(FocusMarks(), 0) << "cues hidden";
    Cues(UIS_CLEAR);
    EXPECT_GT(FocusMarks(), 10) << "keyboard used";
    SetFocus(s_parent->Hwnd());
    EXPECT_EQ(FocusMarks(), 0) << "focus gone";
    RemoveWindowSubclass(m_control, KeepFocusCue, 2);
}

} // namespace
