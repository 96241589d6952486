#include "skin/button_skin.h"
#include "skin/skin_button.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;
using skintest::Pump;

constexpr int kButtonId = 321;
constexpr int kWidth = 80, kHeight = 30;
const POINT kInside{40, 8};
const POINT kOutside{200, 200};
const POINT kKeyCorner{0, 0};

// The centre colour of each state image of the test strip.
COLORREF StateColour(int index) {
    return RGB(index * 40, 100, 100);
}

class SkinButton : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = theme.Write(
            "", "[Buttons]\r\nBitmap=button.bmp\r\nTopHeight=2\r\nBottomHeight=2\r\nLeftWidth=2\r\n"
                "RightWidth=2\r\n");
        ASSERT_TRUE(LoadButtonSkin(skin, path));
        if (parent == nullptr) {
            // One visible parent for the suite: showing a top-level window is slow under Wine.
            parent = new CRecordingWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        }
        parent->seen.clear();
        control =
            CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, kWidth,
                            kHeight, parent->hwnd(), reinterpret_cast<HMENU>(kButtonId), nullptr, nullptr);
        ASSERT_TRUE(button.Subclass(control));
        button.SetSkin(&skin);
        Repaint();
    }
    void TearDown() override { DestroyWindow(control); }
    static void TearDownTestSuite() {
        delete parent;
        parent = nullptr;
    }

    void Repaint() {
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump();
    }
    void Send(UINT message, POINT at = {}, WPARAM wParam = 0) {
        SendMessageW(control, message, wParam, MAKELPARAM(at.x, at.y));
    }
    int Clicks() const {
        int n = 0;
        for (const auto& s : parent->seen) {
            n += s.message == WM_COMMAND && s.wParam == MAKEWPARAM(kButtonId, BN_CLICKED) &&
                 s.lParam == reinterpret_cast<LPARAM>(control);
        }
        return n;
    }
    COLORREF Face() {
        Repaint();
        HDC dc = GetDC(control);
        const COLORREF c = GetPixel(dc, 5, 5);
        ReleaseDC(control, dc);
        return c;
    }

    CTempFolder folder;
    CFrameTheme theme{folder};
    ButtonSkin skin;
    CSkinButton button;
    static CRecordingWindow* parent;
    HWND control = nullptr;
};

CRecordingWindow* SkinButton::parent = nullptr;

TEST_F(SkinButton, MouseClick) {
    Send(WM_MOUSEMOVE, kInside);
    EXPECT_TRUE(button.IsHover());
    EXPECT_EQ(GetCapture(), control);
    Send(WM_LBUTTONDOWN, kInside);
    EXPECT_TRUE(button.IsPressed());
    EXPECT_EQ(GetFocus(), control);
    Send(WM_LBUTTONUP, kInside);
    EXPECT_EQ(Clicks(), 1);
    EXPECT_FALSE(button.IsHover()) << "the next move sets it again";
    EXPECT_FALSE(button.IsPressed());
    EXPECT_NE(GetCapture(), control);
}

TEST_F(SkinButton, DraggingOffAndBack) {
    const struct {
        const char* name;
        bool backOn;
        int clicks;
    } cases[] = {{"released outside", false, 0}, {"dragged back on", true, 1}};
    for (const auto& c : cases) {
        const int before = Clicks();
        Send(WM_MOUSEMOVE, kInside);
        Send(WM_LBUTTONDOWN, kInside);
        Send(WM_MOUSEMOVE, kOutside);
        EXPECT_FALSE(button.IsHover()) << c.name;
        EXPECT_TRUE(button.IsPressed()) << c.name;
        EXPECT_EQ(GetCapture(), control) << "capture is kept while pressed: " << c.name;
        if (c.backOn) {
            Send(WM_MOUSEMOVE, kInside);
        }
        Send(WM_LBUTTONUP, c.backOn ? kInside : kOutside);
        EXPECT_EQ(Clicks() - before, c.clicks) << c.name;
        EXPECT_FALSE(button.IsPressed()) << c.name;
    }
}

TEST_F(SkinButton, SpaceBarClicksAndEnterDoesNothing) {
    const struct {
        WPARAM key;
        int clicks;
    } cases[] = {{VK_SPACE, 1}, {VK_RETURN, 0}, {'A', 0}};
    for (const auto& c : cases) {
        const int before = Clicks();
        Send(WM_KEYDOWN, {}, c.key);
        Send(WM_KEYUP, {}, c.key);
        EXPECT_EQ(Clicks() - before, c.clicks) << c.key;
    }
}

TEST_F(SkinButton, KeyColourPixelsAreNotPartOfTheButton) {
    unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(control, region.get()), ERROR);
    EXPECT_FALSE(PtInRegion(region.get(), kKeyCorner.x, kKeyCorner.y));
    EXPECT_FALSE(PtInRegion(region.get(), kWidth - 1, kHeight - 1));
    EXPECT_TRUE(PtInRegion(region.get(), 1, 0));
    Send(WM_MOUSEMOVE, kKeyCorner);
    EXPECT_FALSE(button.IsHover());
    // Painting with the region unchanged leaves nothing to repaint.
    Repaint();
    EXPECT_FALSE(GetUpdateRect(control, nullptr, FALSE));
}

TEST_F(SkinButton, StateImages) {
    EXPECT_EQ(Face(), StateColour(0));
    Send(WM_MOUSEMOVE, kInside);
    EXPECT_EQ(Face(), StateColour(1));
    Send(WM_LBUTTONDOWN, kInside);
    EXPECT_EQ(Face(), StateColour(2));
    Send(WM_MOUSEMOVE, kOutside);
    EXPECT_EQ(Face(), StateColour(3)) << "pressed and dragged off shows the focused image";
    Send(WM_LBUTTONUP, kOutside);
    EXPECT_EQ(Face(), StateColour(3)) << "still focused";
    EnableWindow(control, FALSE);
    EXPECT_TRUE(GetWindowLongW(control, GWL_STYLE) & WS_DISABLED);
    EXPECT_EQ(Face(), StateColour(4));
}

TEST_F(SkinButton, FocusChangesDoNotRepaint) {
    SetFocus(parent->hwnd());
    Pump();
    SetFocus(control);
    EXPECT_FALSE(GetUpdateRect(control, nullptr, FALSE));
}

TEST_F(SkinButton, WithoutSkinTheSystemDraws) {
    button.SetSkin(nullptr);
    Repaint();
    Send(WM_MOUSEMOVE, kInside);
    Send(WM_LBUTTONDOWN, kInside);
    Send(WM_LBUTTONUP, kInside);
    EXPECT_EQ(Clicks(), 1) << "hover and click handling stay";
}

} // namespace
