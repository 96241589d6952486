#include "skin/drawing.h"
#include "skin/skin_win.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using skintest::CaptionColour;
using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;
using skintest::CWindowPicture;
using namespace skintest; // the theme's colours

constexpr int kWidth = 300, kHeight = 200;
constexpr int kT = CFrameTheme::kBandTop, kS = CFrameTheme::kBandSide, kB = CFrameTheme::kBandBottom;

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
    // The usual theme with some lines added to "Personality" and "Colours".
    void Build(const std::string& personality = "", const std::string& colours = "", bool sizable = true,
               DWORD style = WS_OVERLAPPEDWINDOW) {
        m_window = std::make_unique<CRecordingWindow>(style, 100, 100, kWidth, kHeight);
        m_frame = std::make_unique<CSkinWin>(
            m_theme.Write(personality + "\r\nButtonCount=4", CFrameTheme::CaptionButtons(), colours));
        ASSERT_TRUE(m_frame->IsLoaded());
        m_frame->Install(m_window->Hwnd());
        m_frame->SetStyleBits(sizable, true, true);
        SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    HWND Hwnd() const { return m_window->Hwnd(); }
    LRESULT HitAt(int x, int y) const {
        const RECT r = WindowRect(Hwnd());
        return SendMessageW(Hwnd(), WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y));
    }
    void NcUp(int hit) { SendMessageW(Hwnd(), WM_NCLBUTTONUP, hit, 0); }

    CTempFolder m_folder;
    CFrameTheme m_theme{m_folder};
    // Declared before the window, so the window is destroyed first, as in the program.
    std::unique_ptr<CSkinWin> m_frame;
    std::unique_ptr<CRecordingWindow> m_window;
};

TEST_F(SkinFrame, AnswersToTheSystem) {
    Build();
    RECT client{};
    GetClientRect(Hwnd(), &client);
    EXPECT_TRUE(SameRect(client, RECT{0, 0, kWidth - 2 * kS, kHeight - kT - kB}));
    // The first rectangle shrinks by the bands and is copied into the second.
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = {10, 20, 110, 220};
    SendMessageW(Hwnd(), WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    EXPECT_TRUE(SameRect(params.rgrc[0], RECT{10 + kS, 20 + kT, 110 - kS, 220 - kB}));
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
    SendMessageW(Hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&list));
    EXPECT_EQ(list.itemWidth, 7u) << "only menu items are measured here";
    // Setting the text reports success.
    EXPECT_TRUE(SetWindowTextW(Hwnd(), L"new title"));
    wchar_t text[32] = {};
    GetWindowTextW(Hwnd(), text, 32);
    EXPECT_STREQ(text, L"new title");
}

TEST_F(SkinFrame, MaximizeAndRestoreThroughTheCaptionButton) {
    Build();
    const RECT normal = WindowRect(Hwnd());
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(m_frame->WindowState(), kStateMaximized);
    EXPECT_TRUE(SameRect(WindowRect(Hwnd()), WorkArea()));
    EXPECT_FALSE(IsZoomed(Hwnd())) << "the library maximizes by moving";
    EXPECT_EQ(HitAt(1, 100), HTCLIENT) << "no sizing while maximized";
    // Maximizing again must not lose the rectangle to restore.
    SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    NcUp(HTMAXBUTTON);
    EXPECT_EQ(m_frame->WindowState(), kStateNormal);
    EXPECT_TRUE(SameRect(WindowRect(Hwnd()), normal));
    // The close button closes wherever the press began.
    SendMessageW(Hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    NcUp(HTCLOSE);
    EXPECT_EQ(m_window->Count(WM_CLOSE), 1);
}

TEST_F(SkinFrame, CommandsInTurn) {
    Build();
    const auto fromControl = reinterpret_cast<LPARAM>(Hwnd());
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
        m_window->seen.clear();
        SendMessageW(Hwnd(), s.message, s.wParam, s.lParam);
        EXPECT_EQ(m_frame->WindowState(), s.state);
        for (UINT m : {UINT{WM_COMMAND}, UINT{WM_SYSCOMMAND}}) {
            EXPECT_EQ(m_window->Saw(m, s.wParam), m == s.reaches) << m;
        }
    }
}

TEST_F(SkinFrame, MinimizeAndRestore) {
    Build();
    ShowWindow(Hwnd(), SW_SHOW);
    NcUp(HTMINBUTTON);
    EXPECT_EQ(m_frame->WindowState(), kStateMinimized);
    EXPECT_TRUE(IsIconic(Hwnd()));
    SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(Hwnd()));
    EXPECT_EQ(m_frame->WindowState(), kStateNormal);
    // Maximized by the library, minimized by the system: restoring must bring it back.
    NcUp(HTMAXBUTTON);
    ShowWindow(Hwnd(), SW_MINIMIZE);
    SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(Hwnd()));
    EXPECT_EQ(m_frame->WindowState(), kStateMaximized);
    EXPECT_TRUE(SameRect(WindowRect(Hwnd()), WorkArea()));
}

TEST_F(SkinFrame, DoubleClickMaximizesOnlyWithASizingBorder) {
    for (bool sizable : {false, true}) {
        Build("", "", sizable);
        SendMessageW(Hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
        EXPECT_EQ(m_frame->WindowState(), sizable ? kStateMaximized : kStateNormal) << sizable;
        SendMessageW(Hwnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
        EXPECT_EQ(m_frame->WindowState(), kStateNormal) << sizable;
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
        Build(c.personality, std::string("TransColor=") + c.transColor);
        ShowWindow(Hwnd(), SW_SHOW);
        SetWindowPos(Hwnd(), nullptr, 0, 0, kWidth + 20, kHeight + 10, SWP_NOMOVE | SWP_NOZORDER);
        SendMessageW(Hwnd(), WM_NCPAINT, 1, 0);
        unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(Hwnd(), region.get()), ERROR);
        EXPECT_EQ(PtInRegion(region.get(), 0, 0) != FALSE, c.cornerIn);
        EXPECT_EQ(PtInRegion(region.get(), 1, 1) != FALSE, c.cornerIn);
        EXPECT_TRUE(PtInRegion(region.get(), 2, 0));
        EXPECT_TRUE(PtInRegion(region.get(), kWidth + 19, kHeight + 9));
        EXPECT_FALSE(PtInRegion(region.get(), kWidth + 20, kHeight + 10));
        EXPECT_EQ(PtInRegion(region.get(), 150, 100) != FALSE, c.clientIn);
        // Each side's band, whatever the key: the bands are not black here.
        EXPECT_TRUE(PtInRegion(region.get(), 0, 100));
        EXPECT_TRUE(PtInRegion(region.get(), kWidth + 19, 100));
        EXPECT_TRUE(PtInRegion(region.get(), 150, kHeight + 9));
        EXPECT_EQ(PtInRegion(region.get(), kS, 100) != FALSE, c.clientIn);
        EXPECT_EQ(PtInRegion(region.get(), kWidth + 19 - kS, 100) != FALSE, c.clientIn);

        // Smaller than its bands: they overlap, and the shape still follows them.
        SetWindowPos(Hwnd(), nullptr, 0, 0, kS + 2, kT - 4, SWP_NOMOVE | SWP_NOZORDER);
        ASSERT_NE(GetWindowRgn(Hwnd(), region.get()), ERROR);
        EXPECT_EQ(PtInRegion(region.get(), 0, 0) != FALSE, c.cornerIn);
        EXPECT_TRUE(PtInRegion(region.get(), 2, 0));
        EXPECT_TRUE(PtInRegion(region.get(), kS + 1, kT - 5));
        EXPECT_FALSE(PtInRegion(region.get(), kS + 2, 0));
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
    SetActiveWindow(other.Hwnd());
    skintest::Pump();
    EXPECT_NE(GetFocus(), button);
    SetActiveWindow(dialog);
    skintest::Pump();
    EXPECT_EQ(GetFocus(), button) << "the dialog manager put the focus back";
    DestroyWindow(dialog);
}

// What the frame paints, read back from a visible window. A popup shows and
// goes without the stall of a captioned window.
class SkinFrameLooks : public SkinFrame {
protected:
    void SetUp() override {
        Build("", "", true, WS_POPUP | WS_VISIBLE | WS_SYSMENU);
        SetWindowTextA(Hwnd(), "");
        Activate(true);
    }
    void Activate(bool on) { SendMessageW(Hwnd(), WM_NCACTIVATE, on, 0); }
    int Width() const {
        const RECT r = WindowRect(Hwnd());
        return r.right - r.left;
    }
    // The centre of a caption button, XCoord pixels from the right edge.
    POINT Button(int xCoord) const { return {Width() - xCoord + 5, 5}; }
    // Each button's colour now: close, maximize (or restore), minimize.
    std::vector<COLORREF> Buttons() const {
        const CWindowPicture picture(Hwnd());
        std::vector<COLORREF> colours;
        for (int xCoord : {14, 26, 38}) {
            const POINT at = Button(xCoord);
            colours.push_back(picture.At(at.x, at.y));
        }
        return colours;
    }
    std::vector<COLORREF> Normal(int maxImage = kMaxImage) const {
        return {CaptionColour(kCloseImage, 0), CaptionColour(maxImage, 0), CaptionColour(kMinImage, 0)};
    }
    // A client point as a mouse message carries it.
    LPARAM Client(int x, int y) const { return MAKELPARAM(x, y); }
};

TEST_F(SkinFrameLooks, BandsShowTheActiveOrInactiveHalf) {
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "active" : "inactive");
        Activate(on);
        const CWindowPicture p(Hwnd());
        auto look = [&](const CBandColours& band) { return on ? band.active : band.inactive; };
        auto other = [&](const CBandColours& band) { return on ? band.inactive : band.active; };
        EXPECT_EQ(p.At(100, 2), look(kTop));
        EXPECT_EQ(p.At(1, 12), look(kLeft)) << "the left band's upper part lies over the title band";
        EXPECT_EQ(p.At(1, 100), look(kLeft));
        EXPECT_EQ(p.At(p.width - 2, 12), look(kRight));
        EXPECT_EQ(p.At(p.width - 2, 100), look(kRight));
        EXPECT_EQ(p.At(150, p.height - 2), look(kBottom));
        for (const CBandColours* band : {&kTop, &kLeft, &kRight, &kBottom}) {
            EXPECT_EQ(p.Count(other(*band)), 0);
        }
        EXPECT_EQ(p.Count(kUnusedColumn), 0) << "the top image's last column is never drawn";
    }
}

TEST_F(SkinFrameLooks, CaptionButtonStateColumns) {
    SendMessageW(Hwnd(), WM_NCPAINT, 1, 0);
    EXPECT_EQ(Buttons(), Normal());
    SendMessageW(Hwnd(), WM_NCMOUSEMOVE, HTCLOSE, 0);
    EXPECT_EQ(Buttons(), (std::vector<COLORREF>{CaptionColour(kCloseImage, 2), CaptionColour(kMaxImage, 0),
                                                CaptionColour(kMinImage, 0)}))
        << "hover";
    SendMessageW(Hwnd(), WM_NCLBUTTONDOWN, HTMINBUTTON, 0);
    EXPECT_EQ(Buttons(), (std::vector<COLORREF>{CaptionColour(kCloseImage, 0), CaptionColour(kMaxImage, 0),
                                                CaptionColour(kMinImage, 1)}))
        << "pressed";
    ReleaseCapture();
    // A fixed frame with a minimize box shows maximize disabled, hovered or not.
    m_frame->SetStyleBits(false, true, false);
    SendMessageW(Hwnd(), WM_NCMOUSEMOVE, HTMAXBUTTON, 0);
    EXPECT_EQ(Buttons()[1], CaptionColour(kMaxImage, 3));
    m_frame->SetStyleBits(false, false, false);
    SendMessageW(Hwnd(), WM_NCPAINT, 1, 0);
    EXPECT_EQ(Buttons(), (std::vector<COLORREF>{CaptionColour(kCloseImage, 0), kTop.active, kTop.active}))
        << "neither box: no maximize, no minimize";
}

TEST_F(SkinFrameLooks, PressedButtonLetGoWhereverTheMouseIsReleased) {
    const struct {
        const char* name;
        std::function<void()> release;
    } cases[] = {
        {"released over the client area", [&] { SendMessageW(Hwnd(), WM_LBUTTONUP, 0, Client(100, 100)); }},
        {"moved into the client area", [&] { SendMessageW(Hwnd(), WM_MOUSEMOVE, 0, Client(100, 100)); }},
        {"capture taken away", [] { ReleaseCapture(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SendMessageW(Hwnd(), WM_NCMOUSEMOVE, HTCLOSE, 0);
        SendMessageW(Hwnd(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
        EXPECT_EQ(Buttons()[0], CaptionColour(kCloseImage, 1));
        EXPECT_EQ(GetCapture(), Hwnd());
        c.release();
        EXPECT_EQ(Buttons(), Normal());
        ReleaseCapture();
    }
    EXPECT_EQ(m_window->Count(WM_CLOSE), 0);
    // Released over the close button (client coordinates, so above the client area): it closes.
    SendMessageW(Hwnd(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
    const POINT close = Button(14);
    SendMessageW(Hwnd(), WM_LBUTTONUP, 0, Client(close.x - kS, close.y - kT));
    EXPECT_EQ(m_window->Count(WM_CLOSE), 1);
    EXPECT_NE(GetCapture(), Hwnd());
    EXPECT_EQ(Buttons(), Normal()) << "the window refused to close";
}

TEST_F(SkinFrameLooks, HoverShowsOnTheButtonJustClicked) {
    for (int image : {kRestoreImage, kMaxImage}) {
        SendMessageW(Hwnd(), WM_NCMOUSEMOVE, HTMAXBUTTON, 0);
        NcUp(HTMAXBUTTON);
        EXPECT_EQ(Buttons(), Normal(image));
        SendMessageW(Hwnd(), WM_NCMOUSEMOVE, HTMAXBUTTON, 0);
        EXPECT_EQ(Buttons()[1], CaptionColour(image, 2)) << image;
    }
}

TEST_F(SkinFrameLooks, TitleInItsColourAndBox) {
    // Without caption buttons in the way; the title is smoothed onto the band,
    // so its ink leans to the title colour's side (red for active, blue for inactive).
    Build("ButtonCount=0", "", true, WS_POPUP | WS_VISIBLE);
    const int boxRight = kWidth - CFrameTheme::kTopBotHeight;
    const std::string wide(70, 'H');
    const struct {
        const char* text;
        bool on;
        int rightFrom, rightTo; // where the text's last pixel may lie
    } cases[] = {
        {wide.c_str(), true, boxRight - 40, boxRight},
        {"HHHH", false, CFrameTheme::kTextShift, 100},
        {"H", true, CFrameTheme::kTextShift, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Activate(c.on);
        SetWindowTextA(Hwnd(), c.text);
        const CWindowPicture p(Hwnd());
        const auto band = [&](COLORREF colour) {
            for (const CBandColours* b : {&kTop, &kLeft, &kRight}) {
                if (colour == b->active || colour == b->inactive) {
                    return true;
                }
            }
            return colour == kKey;
        };
        const auto ink = [&](COLORREF colour) { return !band(colour); };
        const auto titleInk = [&](COLORREF colour) {
            return ink(colour) && (c.on ? GetRValue(colour) > GetBValue(colour) + 100
                                        : GetBValue(colour) > GetRValue(colour) + 100);
        };
        const RECT all = p.Extent(ink, {0, 0, p.width, kT});
        const RECT title = p.Extent(titleInk, {0, 0, p.width, kT});
        EXPECT_TRUE(EqualRect(&all, &title)) << "all ink in the title's colour";
        EXPECT_GE(title.left, CFrameTheme::kTextShift);
        EXPECT_GT(title.right, c.rightFrom);
        EXPECT_LE(title.right, c.rightTo);
    }
}

TEST_F(SkinFrameLooks, SmallIcon) {
    const COLORREF kIcon = RGB(255, 128, 0);
    const RECT place{kS, kIconTop, kS + 16, kIconTop + 16};
    EXPECT_EQ(CWindowPicture(Hwnd()).Count(kIcon, place), 0);
    unique_hbitmap colour(skintest::ScreenBitmap(16, 16));
    {
        unique_hdc dc(CreateCompatibleDC(nullptr));
        unique_select_object select(dc.get(), colour.get());
        FillSolid(dc.get(), {0, 0, 16, 16}, kIcon);
    }
    const std::vector<BYTE> opaque(32, 0);
    unique_hbitmap mask(CreateBitmap(16, 16, 1, 1, opaque.data()));
    ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
    unique_hicon icon(CreateIconIndirect(&info));
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon.get()));
    SendMessageW(Hwnd(), WM_NCPAINT, 1, 0);
    const CWindowPicture p(Hwnd());
    EXPECT_EQ(p.Count(kIcon, place), 16 * 16);
    EXPECT_EQ(p.Count(kIcon), 16 * 16);
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, 0);
}

TEST_F(SkinFrameLooks, ClientTiledAndStaticTextInTheWindowTextColour) {
    HWND label = CreateWindowExW(0, L"STATIC", L"MMMM", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, 120, 20,
                                 Hwnd(), nullptr, nullptr, nullptr);
    RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const CWindowPicture p(Hwnd(), unique_hdc_window::kClientArea);
    const int w = CFrameTheme::kTileWidth, h = CFrameTheme::kTileHeight;
    int corners = 0, tiles = 0;
    for (int x = 0; x < p.width; x += w) {
        for (int y = 0; y < p.height; y += h) {
            if (x >= 10 && x < 130 && y >= 10 && y < 30) {
                continue; // under the label
            }
            ++tiles;
            corners += p.At(x, y) == kTileCorner && p.At(x + 1, y) != kTileCorner;
        }
    }
    EXPECT_EQ(corners, tiles) << "every tile, the cut ones at the right and bottom too";
    ASSERT_NE(p.width % w, 0);
    ASSERT_NE(p.height % h, 0);
    EXPECT_GT(p.Count(kWindowText, {10, 10, 130, 30}), 0);
    EXPECT_EQ(p.Count(kWindowText), p.Count(kWindowText, {10, 10, 130, 30}));
    // The label's background stays the tile: far right of its text.
    EXPECT_EQ(p.At(126, 11), kTile);
    DestroyWindow(label);
}

} // namespace
