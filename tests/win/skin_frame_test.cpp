#include "skin/skin_win.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;

constexpr int kWidth = 300, kHeight = 200, kLeftAt = 100, kTopAt = 100;
constexpr int T = CFrameTheme::kBandTop, S = CFrameTheme::kBandSide, B = CFrameTheme::kBandBottom;

RECT WindowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT WorkArea() {
    RECT r{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// A window with a skinned frame from the test theme.
class SkinFrame : public ::testing::Test {
protected:
    void Build(const std::string& personality = CFrameTheme::kButtonCount, DWORD style = WS_OVERLAPPEDWINDOW,
               bool sizable = true, const std::string& sections = CFrameTheme::CaptionButtons()) {
        window = std::make_unique<CRecordingWindow>(style, kLeftAt, kTopAt, kWidth, kHeight);
        frame = std::make_unique<CSkinWin>(theme.Write(personality, sections));
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

TEST_F(SkinFrame, ClientAreaIsInsideTheBands) {
    Build();
    RECT client{};
    GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, kWidth - 2 * S);
    EXPECT_EQ(client.bottom, kHeight - T - B);
    // The first rectangle of WM_NCCALCSIZE shrinks by the bands and is copied into the second.
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = {10, 20, 110, 220};
    SendMessageW(hwnd(), WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    EXPECT_TRUE(SameRect(params.rgrc[0], RECT{10 + S, 20 + T, 110 - S, 220 - B}));
    EXPECT_TRUE(SameRect(params.rgrc[1], params.rgrc[0]));
}

TEST_F(SkinFrame, HitCodesAcrossTheFrame) {
    Build();
    const struct {
        int x, y;
        LRESULT hit;
    } cases[] = {
        {kWidth - 10, 4, HTCLOSE},
        {kWidth - 20, 4, HTMAXBUTTON},
        {kWidth - 33, 4, HTMINBUTTON},
        {S + 2, 6, HTSYSMENU},
        {100, 2, HTTOP},
        {100, 7, HTCAPTION},
        {1, 1, HTTOPLEFT},
        {kWidth - 1, 1, HTTOPRIGHT},
        {1, 100, HTLEFT},
        {kWidth - 2, 100, HTRIGHT},
        {150, kHeight - 2, HTBOTTOM},
        {1, kHeight - 1, HTBOTTOMLEFT},
        {kWidth - 1, kHeight - 1, HTBOTTOMRIGHT},
        {150, 100, HTCLIENT},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HitAt(c.x, c.y), c.hit) << c.x << "," << c.y;
    }
}

TEST_F(SkinFrame, MaximizeAndRestoreThroughTheCaptionButton) {
    Build();
    const RECT normal = WindowRect(hwnd());
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(frame->WindowState(), 1);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), WorkArea()));
    EXPECT_FALSE(IsZoomed(hwnd())) << "the library maximizes by moving";
    EXPECT_EQ(HitAt(1, 100), HTCLIENT) << "no sizing while maximized";
    // Maximizing again must not lose the rectangle to restore.
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(frame->WindowState(), 0);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), normal));
}

TEST_F(SkinFrame, SystemMenuCommandsAreTranslated) {
    Build();
    const RECT normal = WindowRect(hwnd());
    SendMessageW(hwnd(), WM_COMMAND, SC_MAXIMIZE, 0);
    EXPECT_EQ(frame->WindowState(), 1);
    SendMessageW(hwnd(), WM_COMMAND, SC_RESTORE, 0);
    EXPECT_EQ(frame->WindowState(), 0);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), normal));

    // An identifier of the system menu from another menu becomes that system command.
    SendMessageW(hwnd(), WM_COMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(window->Saw(WM_SYSCOMMAND, SC_CLOSE));
    EXPECT_FALSE(window->Saw(WM_COMMAND, SC_CLOSE));
    // Other identifiers, and commands from controls, reach the window unchanged.
    SendMessageW(hwnd(), WM_COMMAND, 1234, 0);
    EXPECT_TRUE(window->Saw(WM_COMMAND, 1234));
    SendMessageW(hwnd(), WM_COMMAND, SC_MAXIMIZE, reinterpret_cast<LPARAM>(hwnd()));
    EXPECT_TRUE(window->Saw(WM_COMMAND, SC_MAXIMIZE));
    EXPECT_EQ(frame->WindowState(), 0);
}

TEST_F(SkinFrame, SysCommandComparesTheWholeValue) {
    Build();
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE | 2, 0);
    EXPECT_TRUE(window->Saw(WM_SYSCOMMAND, SC_MAXIMIZE | 2)) << "0xF032 is passed on";
    EXPECT_EQ(frame->WindowState(), 0);
    ShowWindow(hwnd(), SW_RESTORE);
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(window->Saw(WM_SYSCOMMAND, SC_RESTORE)) << "restore in the normal state is passed on";
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_EQ(frame->WindowState(), 1);
    EXPECT_FALSE(window->Saw(WM_SYSCOMMAND, SC_MAXIMIZE));
}

TEST_F(SkinFrame, MinimizeAndRestore) {
    Build();
    ShowWindow(hwnd(), SW_SHOW);
    NcUp(HTMINBUTTON);
    EXPECT_EQ(frame->WindowState(), 2);
    EXPECT_TRUE(IsIconic(hwnd()));
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd()));
    EXPECT_EQ(frame->WindowState(), 0);

    // Maximized by the library, minimized by the system: restoring must bring it back.
    NcUp(HTMAXBUTTON);
    ShowWindow(hwnd(), SW_MINIMIZE);
    EXPECT_EQ(frame->WindowState(), 1);
    SendMessageW(hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd()));
    EXPECT_EQ(frame->WindowState(), 1);
    EXPECT_TRUE(SameRect(WindowRect(hwnd()), WorkArea()));
}

TEST_F(SkinFrame, DoubleClickNeedsASizingBorder) {
    Build(CFrameTheme::kButtonCount, WS_POPUP | WS_CAPTION | WS_SYSMENU, false);
    SendMessageW(hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_EQ(frame->WindowState(), 0);
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(frame->WindowState(), 1);
    SendMessageW(hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_EQ(frame->WindowState(), 1);

    Build();
    SendMessageW(hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_EQ(frame->WindowState(), 1);
    SendMessageW(hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
    EXPECT_EQ(frame->WindowState(), 0);
}

TEST_F(SkinFrame, CloseButtonReleasedAnywhereCloses) {
    Build();
    SendMessageW(hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    NcUp(HTCLOSE);
    EXPECT_EQ(window->Count(WM_CLOSE), 1);
}

TEST_F(SkinFrame, TextIsSetAndReported) {
    Build();
    EXPECT_TRUE(SetWindowTextW(hwnd(), L"new title"));
    wchar_t text[32] = {};
    GetWindowTextW(hwnd(), text, 32);
    EXPECT_STREQ(text, L"new title");
}

TEST_F(SkinFrame, RestoreImageOfTheLastMaximizeSection) {
    Build("ButtonCount=5", WS_OVERLAPPEDWINDOW, true,
          CFrameTheme::CaptionButtons() +
              "[Button4]\r\nButtonImage=restore.bmp\r\nAction=1\r\nXCoord=60\r\nYCoord=1\r\n");
    EXPECT_EQ(HitAt(kWidth - 20, 4), HTMAXBUTTON);
    NcUp(HTMAXBUTTON);
    const int w = WorkArea().right - WorkArea().left;
    EXPECT_EQ(HitAt(w - 55, 4), HTMAXBUTTON) << "the restore button sits where the last section puts it";
    EXPECT_EQ(HitAt(w - 20, 6), HTCAPTION);
}

TEST_F(SkinFrame, WithoutTransparencyTheRegionIsTheWholeWindow) {
    Build();
    ShowWindow(hwnd(), SW_SHOW);
    SendMessageW(hwnd(), WM_NCPAINT, 1, 0);
    unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(hwnd(), region.get()), ERROR);
    RECT box{};
    EXPECT_EQ(GetRgnBox(region.get(), &box), SIMPLEREGION);
    EXPECT_TRUE(SameRect(box, RECT{0, 0, kWidth, kHeight}));
}

TEST_F(SkinFrame, TransparentColourCutsTheWindowShape) {
    const struct {
        const char* transColor;
        bool clientSolid;
    } cases[] = {{"255 0 255", true}, {"0 0 0", false}};
    for (const auto& c : cases) {
        Build(std::string("UsesTran=1\r\nButtonCount=4"), WS_OVERLAPPEDWINDOW, true,
              CFrameTheme::CaptionButtons() + "[Colours]\r\nTransColor=" + c.transColor + "\r\n");
        ShowWindow(hwnd(), SW_SHOW);
        SetWindowPos(hwnd(), nullptr, 0, 0, kWidth + 20, kHeight + 10, SWP_NOMOVE | SWP_NOZORDER);
        unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(hwnd(), region.get()), ERROR) << c.transColor;
        const bool keyIsMagenta = c.clientSolid; // the corner of "Left" is magenta
        EXPECT_EQ(PtInRegion(region.get(), 0, 0), !keyIsMagenta) << c.transColor;
        EXPECT_EQ(PtInRegion(region.get(), 1, 1), !keyIsMagenta) << c.transColor;
        EXPECT_TRUE(PtInRegion(region.get(), 2, 0)) << c.transColor;
        EXPECT_TRUE(PtInRegion(region.get(), kWidth + 19, kHeight + 9)) << c.transColor;
        EXPECT_EQ(PtInRegion(region.get(), 150, 100), c.clientSolid) << c.transColor;
    }
}

TEST(SkinFrameDialog, FocusComesBackWithActivation) {
    // A dialog of the system's dialog class, whose manager keeps track of the focused control.
    CTempFolder folder;
    CFrameTheme theme(folder);
    CSkinWin frame(theme.Write(CFrameTheme::kButtonCount, CFrameTheme::CaptionButtons()));
    HWND dialog = CreateWindowExW(0, L"#32770", L"dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                                  50, 50, 200, 150, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 100, 20, dialog,
                                reinterpret_cast<HMENU>(100), nullptr, nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 40, 100, 20,
                                  dialog, reinterpret_cast<HMENU>(101), nullptr, nullptr);
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
    EXPECT_NE(GetFocus(), edit);
    DestroyWindow(dialog);
}

} // namespace
