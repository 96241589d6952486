#include "controls/hyper_link.h"
#include "controls_test_support.h"

#include <commctrl.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using namespace controlstest;

constexpr COLORREF kLink = RGB(1, 2, 3), kHover = RGB(4, 5, 6), kVisited = RGB(7, 8, 9);
constexpr POINT kOutside{700, 500};

TEST(HyperLinkTarget, MailPrefixIgnoresCaseAndNeedsTheColon) {
    const struct {
        const wchar_t* target;
        bool mail;
    } cases[] = {
        {L"mailto:someone@example.com", true},
        {L"MAILTO:x", true},
        {L"MailTo:", true},
        {L"mailto", false},
        {L"mailto someone", false},
        {L" mailto:x", false},
        {L"http://example.com", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsMailTarget(c.target), c.mail) << testing::PrintToString(std::wstring(c.target));
    }
}

LRESULT CALLBACK CountRelays(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR count) {
    *reinterpret_cast<int*>(count) += message == TTM_RELAYEVENT;
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

class CHyperLinkTest : public CDialogSuite<CHyperLinkTest> {
protected:
    void SetUp() override {
        SetCursorPos(kOutside.x, kOutside.y);
        ASSERT_TRUE(s_dialog->MakeControl(L"STATIC", SS_LEFT, L"link text here", {20, 20, 120, 40}));
        // As a dialog gives its controls a font.
        SendMessageW(s_dialog->Control(), WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        ASSERT_TRUE(m_link.SubclassDlgItem(CTestDialog::kControlId, s_dialog->GetSafeHwnd()));
        m_link.SetColours(kLink, kHover, kVisited);
        Pump();
    }
    void TearDown() override { DestroyWindow(s_dialog->Control()); }

    HWND Link() const { return m_link.GetSafeHwnd(); }
    void Hover() {
        SendMessageW(Link(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Link()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }
    bool Leave() {
        SetCursorPos(kOutside.x, kOutside.y);
        return PumpUntil([&] { return !m_link.Hovering(); }, 1000);
    }
    // Presses at (10, 5) and releases inside or far outside.
    void Click(bool releaseInside) {
        SendMessageW(Link(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
        EXPECT_EQ(m_link.CurrentColour(), RGB(255, 0, 0)) << "pressed";
        SendMessageW(Link(), WM_LBUTTONUP, 0, releaseInside ? MAKELPARAM(10, 5) : MAKELPARAM(500, 5));
        EXPECT_NE(GetCapture(), Link());
    }
    // Whether the control shows an underline: a row of the text colour across the whole text.
    bool UnderlineShown(COLORREF colour) const {
        HDC dc = GetDC(Link());
        int longest = 0;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0, run = 0; x < 100; ++x) {
                run = GetPixel(dc, x, y) == colour ? run + 1 : 0;
                longest = std::max(longest, run);
            }
        }
        ReleaseDC(Link(), dc);
        return longest > 30;
    }
    CHyperLink m_link;
};

TEST_F(CHyperLinkTest, SubclassingAddsNotifyStyleAndOneTooltipThatGoesWithTheControl) {
    EXPECT_TRUE(GetWindowLongPtrW(Link(), GWL_STYLE) & SS_NOTIFY);
    const HWND tip = m_link.GetToolTip();
    ASSERT_TRUE(IsWindow(tip));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);

    // Queued mouse messages of the control reach the tooltip.
    int relayed = 0;
    SetWindowSubclass(tip, CountRelays, 1, reinterpret_cast<DWORD_PTR>(&relayed));
    MSG move{};
    move.hwnd = Link();
    move.message = WM_MOUSEMOVE;
    EXPECT_FALSE(CWindow::PreTranslateTree(move));
    EXPECT_EQ(relayed, 1);
    RemoveWindowSubclass(tip, CountRelays, 1);

    DestroyWindow(Link());
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_EQ(m_link.GetToolTip(), nullptr);
}

TEST_F(CHyperLinkTest, SetLinkTargetTrimsAndRefusesNothingOnAnEmptyControl) {
    const struct {
        const wchar_t* text;
        const wchar_t* target;
        bool result;
        const wchar_t* stored;
    } cases[] = {
        {L"链接", L"  http://example.com/\t", true, L"http://example.com/"},
        {L"链接", L" \r\n", true, L""},
        {L"", L"", false, L"old"},
        {L"", L" \t ", false, L"old"},
        {L"", L" x ", true, L"x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.target)));
        SetWindowTextW(Link(), L"");
        ASSERT_TRUE(m_link.SetLinkTarget(L"old"));
        SetWindowTextW(Link(), c.text);
        EXPECT_EQ(m_link.SetLinkTarget(c.target), c.result);
        EXPECT_EQ(m_link.GetLinkTarget(), c.stored);
    }
}

TEST_F(CHyperLinkTest, HoverAndLeaveSetColourAndUnderlineByMode) {
    const struct {
        int mode;
        bool underlineAtRest, underlineOver, underlineAfter;
    } cases[] = {
        {CHyperLink::kUnderlineAlways, true, true, true},
        {CHyperLink::kUnderlineHover, false, true, false},
        {CHyperLink::kUnderlineNever, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        m_link.SetUnderlineMode(c.mode);
        m_link.SetCurrentUnderline(c.underlineAtRest);
        EXPECT_EQ(UnderlineShown(kLink), c.underlineAtRest);
        EXPECT_EQ(Pixel(Link(), 98, 2), CTestDialog::kBackground) << "the background shows through";

        Hover();
        ASSERT_TRUE(m_link.Hovering());
        EXPECT_EQ(m_link.CurrentColour(), kHover);
        EXPECT_EQ(UnderlineShown(kHover), c.underlineOver);

        ASSERT_TRUE(Leave());
        EXPECT_EQ(m_link.CurrentColour(), kLink);
        EXPECT_EQ(UnderlineShown(kLink), c.underlineAfter);
    }
}

TEST_F(CHyperLinkTest, ClickOnAnEmptyTargetCommandsTheParentOnlyWhenReleasedOverTheLink) {
    Click(false);
    EXPECT_TRUE(s_dialog->commands.empty());
    EXPECT_FALSE(m_link.Visited());
    EXPECT_EQ(m_link.CurrentColour(), kLink);

    Click(true);
    ASSERT_EQ(s_dialog->commands.size(), 1u);
    EXPECT_EQ(s_dialog->commands[0], std::make_pair(CTestDialog::kControlId, static_cast<int>(BN_CLICKED)));
    EXPECT_TRUE(m_link.Visited());
    EXPECT_EQ(m_link.CurrentColour(), kVisited);

    // A release without a press of this control does nothing.
    SendMessageW(Link(), WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
    EXPECT_EQ(s_dialog->commands.size(), 1u);
}

// Records the caption and texts of each message box shown on this thread, and closes it.
std::vector<std::wstring> g_boxes;

LRESULT CALLBACK CatchMessageBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    wchar_t text[256] = {};
    // Message boxes are dialogs with an owner; the test's own dialog has none.
    if (code == HCBT_ACTIVATE && GetWindow(box, GW_OWNER) && GetClassNameW(box, text, 256) &&
        std::wstring(text) == L"#32770") {
        GetWindowTextW(box, text, 256);
        std::wstring seen = text + std::wstring(L"|");
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (GetClassNameW(child, text, 256) && _wcsicmp(text, L"Static") == 0 &&
                GetWindowTextW(child, text, 256)) {
                seen += text;
            }
        }
        g_boxes.push_back(seen);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(CHyperLinkTest, TargetTheShellCannotOpenShowsTheFailureAndStaysUnvisited) {
    g_boxes.clear();
    unique_hhook catcher(SetWindowsHookExW(WH_CBT, CatchMessageBox, nullptr, GetCurrentThreadId()));
    ASSERT_TRUE(m_link.SetLinkTarget(L"C:\\no-such-folder\\no-such-file"));
    Click(true);
    EXPECT_FALSE(m_link.Visited());
    EXPECT_TRUE(s_dialog->commands.empty());
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L"错误|打开链接失败！"});
}

} // namespace
