#include "skin/skin_win.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;

constexpr int kWidth = 300, kHeight = 200;
constexpr int T = CFrameTheme::kBandTop, S = CFrameTheme::kBandSide, B = CFrameTheme::kBandBottom;

RECT WindowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

RECT WorkArea() {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// A window with a skinned frame from the test theme.
class SkinFrame : public ::testing::Test {
protected:
    // The usual theme with some lines added to "Personality" and some sections.
    void Build(const std::string& personality = "", const std::string& sections = "", bool sizable = true) {
        window = std::make_unique<CRecordingWindow>(WS_OVERLAPPEDWINDOW, 100, 100, kWidth, kHeight);
        frame = std::make_unique<CSkinWin>(
            theme.Write(personality + "\r\nButtonCount=4", CFrameTheme::CaptionButtons() + sections));
        ASSERT_TRUE(frame->IsLoaded());
        frame->Install(window->hwnd());
        frame->SetStyleBits(sizable, true, true);
        SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    HWND hwnd() const { return window->hwnd(); }
    LRESULT HitAt(int x, int y) const {
        const RECT r = WindowRect(hwnd());
        return SendMessageW(hwnd(), WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y));
    }
    void NcUp(int hit) { SendMessageW(hwnd(), WM_NCLBUTTONUP, hit, 0); }

    CTempFolder folder;
    CFrameTheme theme{folder};
    // Declared before the window, so the window is destroyed first, as in the program.
    std::unique_ptr<CSkinWin> frame;
    std::unique_ptr<CRecordingWindow> window;
};

TEST_F(SkinFrame, AnswersToTheSystem) {
    Build();
    RECT client{};
    GetClientRect(hwnd(), &client);
    EXPECT_TRUE(SameRect(client, RECT{0, 0, kWidth - 2 * S, kHeight - T - B}));
    // The first rectangle shrinks by the bands and is copied into the second.
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = {10, 20, 110, 220};
    SendMessageW(hwnd(), WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    EXPECT_TRUE(SameRect(params.rgrc[0], RECT{10 + S, 20 + T, 110 - S, 220 - B}));
    EXPECT_TRUE(SameRect(params.rgrc[1], params.rgrc[0]));

    // The window is 300 x 200; bands are 10 (top), 4 (sides) and 4 (bottom).
    const struct {
        int x, y;
        LRESULT hit;
    } cases[] = {
        {290, 4, HTCLOSE},    {280, 4, HTMAXBUTTON}, {267, 4, HTMINBUTTON},     {6, 6, HTSYSMENU},
        {100, 2, HTTOP},      {100, 7, HTCAPTION},   {1, 1, HTTOPLEFT},         {298, 100, HTRIGHT},
        {150, 198, HTBOTTOM}, {150, 100, HTCLIENT},  {299, 199, HTBOTTOMRIGHT},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HitAt(c.x, c.y), c.hit) << c.x << "," << c.y;
    }
    MEASUREITEMSTRUCT list{};
    list.CtlType = ODT_LISTBOX;
    list.itemWidth = 7;
    SendMessageW(hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&list));
    EXPECT_EQ(list.itemWidth, 7u) << "only menu items are measured here";
    // Setting the text reports success.
    EXPECT_TRUE(SetWindowTextW(hwnd(), L"new title"));
    wchar_t text[32] = {};
    GetWindowTextW(hwnd(), text, 32);
    EXPECT_STREQ(text, L"new title");
}

TEST_F(SkinFrame, MaximizeAndRestoreThroughTheCaptionButton) {
    Build();
    const RECT normal = WindowRect(hwnd());
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(frame->WindowState(), kStateMaximized);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), WorkArea()));
    EXPECT_FALSE(IsZoomed(hwnd())) << "the library maximizes by moving";
    EXPECT_EQ(HitAt(1, 100), HTCLIENT) << "no sizing while maximized";
    // Maximizing again must not lose the rectangle to restore.
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(frame->WindowState(), kStateNormal);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), normal));
    // The close button closes wherever the press began.
    SendMessageW(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    NcUp(HTCLOSE);
    EXPECT_EQ(window->Count(WM_CLOSE), 1);
}

TEST_F(SkinFrame, CommandsInTurn) {
    Build();
    const auto fromControl = reinterpret_cast<LPARAM>(hwnd());
    // Each step: what is sent, the state after it, and what the window's own
    // procedure gets with the same wParam (0: nothing).
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        int state;
        UINT reaches;
    } steps[] = {
        {"system menu maximize", WM_COMMAND, SC_MAXIMIZE, 0, kStateMaximized, 0},
        {"system menu restore", WM_COMMAND, SC_RESTORE, 0, kStateNormal, 0},
        {"other system menu item", WM_COMMAND, SC_CLOSE, 0, kStateNormal, WM_SYSCOMMAND},
        {"no system menu item", WM_COMMAND, 1234, 0, kStateNormal, WM_COMMAND},
        {"a separator's identifier", WM_COMMAND, 0, 0, kStateNormal, WM_COMMAND},
        {"from a control", WM_COMMAND, SC_MAXIMIZE, fromControl, kStateNormal, WM_COMMAND},
        {"caption double-click command", WM_SYSCOMMAND, SC_MAXIMIZE | 2, 0, kStateNormal, WM_SYSCOMMAND},
        {"restore in the normal state", WM_SYSCOMMAND, SC_RESTORE, 0, kStateNormal, WM_SYSCOMMAND},
        {"maximize", WM_SYSCOMMAND, SC_MAXIMIZE, 0, kStateMaximized, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        window->seen.clear();
        SendMessageW(hwnd(), s.message, s.wParam, s.lParam);
        EXPECT_EQ(frame->WindowState(), s.state);
        for (UINT m : {UINT{WM_COMMAND}, UINT{WM_SYSCOMMAND}}) {
            EXPECT_EQ(window->Saw(m, s.wParam), m == s.reaches) << m;
        }
    }
}

TEST_F(SkinFrame, MinimizeAndRestore) {
    Build();
    ShowWindow(hwnd(), SW_SHOW);
    NcUp(HTMINBUTTON);
    EXPECT_EQ(frame->WindowState(), kStateMinimized);
    EXPECT_TRUE(IsIconic(hwnd()));
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd()));
    EXPECT_EQ(frame->WindowState(), kStateNormal);
    // Maximized by the library, minimized by the system: restoring must bring it back.
    NcUp(HTMAXBUTTON);
    ShowWindow(hwnd(), SW_MINIMIZE);
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd()));
    EXPECT_EQ(frame->WindowState(), kStateMaximized);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), WorkArea()));
}

TEST_F(SkinFrame, DoubleClickMaximizesOnlyWithASizingBorder) {
    for (bool sizable : {false, true}) {
        Build("", "", sizable);
        SendMessageW(hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
        EXPECT_EQ(frame->WindowState(), sizable ? kStateMaximized : kStateNormal) << sizable;
        SendMessageW(hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
        EXPECT_EQ(frame->WindowState(), kStateNormal) << sizable;
    }
}

TEST_F(SkinFrame, WindowRegion) {
    // The corner of "Left" is magenta; the client area is drawn black for the shape.
    const struct {
        const char* personality;
        const char* transColor;
        bool cornerIn, clientIn;
    } cases[] = {
        {"UsesTran=0", "255 0 255", true, true},
        {"UsesTran=1", "255 0 255", false, true},
        {"UsesTran=1", "0 0 0", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.personality) + " " + c.transColor);
        Build(c.personality, std::string("[Colours]\r\nTransColor=") + c.transColor + "\r\n");
        ShowWindow(hwnd(), SW_SHOW);
        SetWindowPos(hwnd(), nullptr, 0, 0, kWidth + 20, kHeight + 10, SWP_NOMOVE | SWP_NOZORDER);
        SendMessageW(hwnd(), WM_NCPAINT, 1, 0);
        unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(hwnd(), region.get()), ERROR);
        EXPECT_EQ(PtInRegion(region.get(), 0, 0) != FALSE, c.cornerIn);
        EXPECT_EQ(PtInRegion(region.get(), 1, 1) != FALSE, c.cornerIn);
        EXPECT_TRUE(PtInRegion(region.get(), 2, 0));
        EXPECT_TRUE(PtInRegion(region.get(), kWidth + 19, kHeight + 9));
        EXPECT_FALSE(PtInRegion(region.get(), kWidth + 20, kHeight + 10));
        EXPECT_EQ(PtInRegion(region.get(), 150, 100) != FALSE, c.clientIn);
    }
}

TEST(SkinFrameDialog, FocusComesBackWithActivation) {
    // A dialog of the system's dialog class, whose manager restores the focused control on WM_ACTIVATE.
    CTempFolder folder;
    CFrameTheme theme(folder);
    CSkinWin frame(theme.Write(CFrameTheme::kButtonCount, CFrameTheme::CaptionButtons()));
    HWND dialog = CreateWindowExW(0, L"#32770", L"dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                                  50, 50, 200, 150, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 2; ++i) {
        CreateWindowExW(0, i == 0 ? L"EDIT" : L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10,
                        10 + 30 * i, 100, 20, dialog, reinterpret_cast<HMENU>(INT_PTR{100 + i}), nullptr,
                        nullptr);
    }
    HWND button = GetDlgItem(dialog, 101);
    frame.Install(dialog);
    SetActiveWindow(dialog);
    SetFocus(button);
    skintest::Pump();
    CRecordingWindow other(WS_POPUP | WS_VISIBLE, 400, 400, 100, 100);
    SetActiveWindow(other.hwnd());
    skintest::Pump();
    EXPECT_NE(GetFocus(), button);
    SetActiveWindow(dialog);
    skintest::Pump();
    EXPECT_EQ(GetFocus(), button) << "the dialog manager put the focus back";
    DestroyWindow(dialog);
}

} // namespace
