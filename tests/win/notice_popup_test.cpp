// The notice popup under Wine: one popup for the suite, its timers driven by
// sending WM_TIMER so that no test waits seconds.
#include "controls/hyper_link.h"
#include "session/notice_resource.h"
#include "session/tip_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT_PTR kNextNoticeTimer = 1, kAutoHideTimer = 2, kHoverTimer = 3;

class NoticePopup : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        s_resources = LoadLibraryW(L"res.dll");
        s_popup = new CTipDlg(
            s_resources, [] { ++s_shown; }, [] { ++s_exits; });
        s_popup->Create();
    }
    static void TearDownTestSuite() {
        delete s_popup;
        FreeLibrary(s_resources);
    }

protected:
    void SetUp() override {
        m_hwnd = s_popup->GetSafeHwnd();
        ASSERT_TRUE(s_resources && m_hwnd) << "res.dll beside the test program";
        while (s_popup->QueueLength() > 0) {
            TakeNext();
        }
        ShowWindow(m_hwnd, SW_HIDE);
        s_shown = s_exits = 0;
    }

    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) const {
        SendMessageW(m_hwnd, message, wParam, lParam);
    }
    // Shows the next notice, then makes the popup ready again without the cost of a real hide.
    void TakeNext() const {
        Send(WM_TIMER, kNextNoticeTimer);
        Send(WM_SHOWWINDOW, FALSE);
    }
    std::wstring NoticeText() const {
        wchar_t text[64] = {};
        GetDlgItemTextW(m_hwnd, IDC_TIP_TEXT, text, 64);
        return text;
    }
    bool Visible() const { return IsWindowVisible(m_hwnd) != FALSE; }
    // Whether the timer was running; it is stopped afterwards.
    bool TimerRan(UINT_PTR id) const { return KillTimer(m_hwnd, id) != FALSE; }

    static inline HMODULE s_resources = nullptr;
    static inline CTipDlg* s_popup = nullptr;
    static inline int s_shown = 0, s_exits = 0;
    HWND m_hwnd = nullptr;
};

TEST_F(NoticePopup, ShowsQueuedNoticesOneAtATimeOldestFirst) {
    const std::wstring texts[] = {L"您的Velmarin有(1)条新消息！", L"您已经掉线，正在重新登录！", L"第三条"};
    for (const auto& text : texts) {
        s_popup->AddNotice(NOTICE_MESSAGE, text, L"");
    }
    EXPECT_FALSE(Visible()) << "queuing leaves the window alone";

    Send(WM_TIMER, kNextNoticeTimer);
    EXPECT_TRUE(Visible());
    EXPECT_EQ(NoticeText(), texts[0]);
    const auto firstPicture = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageW(m_hwnd, IDC_TIP_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
    EXPECT_NE(firstPicture, nullptr);
    Send(WM_TIMER, kNextNoticeTimer);
    EXPECT_EQ(NoticeText(), texts[0]) << "a notice on screen is not replaced";

    Send(WM_COMMAND, MAKEWPARAM(IDC_TIP_CLOSE, BN_CLICKED),
         reinterpret_cast<LPARAM>(GetDlgItem(m_hwnd, IDC_TIP_CLOSE)));
    EXPECT_FALSE(Visible());
    EXPECT_TRUE(s_popup->IsReady());
    EXPECT_FALSE(TimerRan(kAutoHideTimer)) << "hiding stops the auto-hide timer";
    EXPECT_EQ(s_shown + s_exits, 0) << "the close button runs no action";

    Send(WM_TIMER, kNextNoticeTimer);
    EXPECT_EQ(NoticeText(), texts[1]);
    EXPECT_FALSE(s_popup->IsReady());
    Send(WM_TIMER, kAutoHideTimer);
    EXPECT_FALSE(Visible()) << "the auto-hide tick hides";
    EXPECT_EQ(GetObjectType(firstPicture), 0u) << "the first notice's picture was freed";

    Send(WM_TIMER, kNextNoticeTimer);
    EXPECT_EQ(NoticeText(), texts[2]);
}

TEST_F(NoticePopup, HoverKeepsItOnScreenUntilTheMouseLeaves) {
    s_popup->AddNotice(NOTICE_MESSAGE, L"悬停", L"");
    Send(WM_TIMER, kNextNoticeTimer);
    RECT window;
    GetWindowRect(m_hwnd, &window);
    SetCursorPos((window.left + window.right) / 2, (window.top + window.bottom) / 2);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(s_popup->IsHovering());
    EXPECT_FALSE(TimerRan(kAutoHideTimer)) << "the mouse on the popup stops the auto-hide timer";
    Send(WM_TIMER, kHoverTimer);
    EXPECT_TRUE(s_popup->IsHovering()) << "the cursor is still inside";

    SetCursorPos(window.left - 50, window.top - 50);
    Send(WM_TIMER, kHoverTimer);
    EXPECT_FALSE(s_popup->IsHovering());
    EXPECT_FALSE(TimerRan(kHoverTimer));
    EXPECT_TRUE(TimerRan(kAutoHideTimer)) << "leaving starts a full auto-hide period again";

    // Hidden while the mouse rests on it: the hover poll ends with the notice.
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ShowWindow(m_hwnd, SW_HIDE);
    EXPECT_FALSE(s_popup->IsHovering());
    EXPECT_FALSE(TimerRan(kHoverTimer));
}

TEST_F(NoticePopup, ClickOnTheTextRunsTheActionOfItsTypeAndHides) {
    HWND text = GetDlgItem(m_hwnd, IDC_TIP_TEXT);
    for (const int type : {NOTICE_MESSAGE, NOTICE_UPGRADE}) {
        s_shown = s_exits = 0;
        s_popup->AddNotice(type, L"点击这里", L"");
        Send(WM_TIMER, kNextNoticeTimer);
        // A real click on the link control, which reports an empty target to the popup.
        SendMessageW(text, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
        SendMessageW(text, WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
        EXPECT_EQ(s_shown, type == NOTICE_MESSAGE ? 1 : 0) << type;
        EXPECT_EQ(s_exits, type == NOTICE_UPGRADE ? 1 : 0) << type;
        EXPECT_FALSE(Visible()) << type;
    }

    // One notice's link must not stay for the next, whose click would open it.
    auto* link = dynamic_cast<CHyperLink*>(CWindow::FromHandle(text));
    ASSERT_NE(link, nullptr);
    s_popup->AddNotice(NOTICE_MESSAGE, L"带链接", L"http://127.0.0.1:9/");
    s_popup->AddNotice(NOTICE_MESSAGE, L"无链接", L"");
    TakeNext();
    EXPECT_EQ(link->GetLinkTarget(), L"http://127.0.0.1:9/");
    TakeNext();
    EXPECT_EQ(link->GetLinkTarget(), L"");

    // Escape and Alt+F4 reach a dialog as IDCANCEL: the popup hides and lives on.
    Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_FALSE(Visible());
}

TEST_F(NoticePopup, NeverTakesTheFocus) {
    HWND user = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE, 10, 10, 200, 40, nullptr, nullptr,
                                nullptr, nullptr);
    SetForegroundWindow(user);
    SetFocus(user);
    ASSERT_EQ(GetFocus(), user);
    {
        CTipDlg another(s_resources, nullptr, nullptr);
        ASSERT_TRUE(another.Create());
        EXPECT_EQ(GetFocus(), user) << "making the popup";
    }
    s_popup->AddNotice(NOTICE_MESSAGE, L"焦点", L"");
    Send(WM_TIMER, kNextNoticeTimer);
    EXPECT_TRUE(Visible());
    EXPECT_EQ(GetForegroundWindow(), user);
    EXPECT_EQ(GetFocus(), user) << "showing a notice";
    EXPECT_TRUE(GetWindowLongPtrW(m_hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(user);
}

TEST_F(NoticePopup, SitsAtTheWorkAreasLowerRightInTheBackgroundsShape) {
    unique_hbitmap background(static_cast<HBITMAP>(
        LoadImageW(s_resources, MAKEINTRESOURCEW(127), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(background.get(), sizeof(info), &info));
    RECT work, window;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(m_hwnd, &window);
    EXPECT_EQ(window.left, (work.right - work.left) - info.bmWidth);
    EXPECT_EQ(window.top, (work.bottom - work.top) - info.bmHeight);

    // Magenta pixels are cut away; every other one is inside and painted from the bitmap.
    unique_hrgn shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(m_hwnd, shape.get()), ERROR);
    unique_hdc source(CreateCompatibleDC(nullptr)), painted(CreateCompatibleDC(nullptr));
    unique_select_object selectSource(source.get(), background.get());
    unique_hbitmap canvas(CreateCompatibleBitmap(source.get(), info.bmWidth, info.bmHeight));
    unique_select_object selectCanvas(painted.get(), canvas.get());
    EXPECT_TRUE(SendMessageW(m_hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(painted.get()), 0));
    int magenta = 0, wrong = 0;
    for (int y = 0; y < info.bmHeight; ++y) {
        for (int x = 0; x < info.bmWidth; ++x) {
            const COLORREF colour = GetPixel(source.get(), x, y);
            const bool inside = PtInRegion(shape.get(), x, y) != FALSE;
            magenta += colour == RGB(255, 0, 255);
            wrong += colour == RGB(255, 0, 255) ? inside : !inside || GetPixel(painted.get(), x, y) != colour;
        }
    }
    EXPECT_GT(magenta, 0) << "the background has see-through corners";
    EXPECT_EQ(wrong, 0);
}

TEST_F(NoticePopup, KeepsTheNewestWhenTheQueueIsFull) {
    for (size_t i = 0; i < CTipDlg::kMaxWaiting + 50; ++i) {
        s_popup->AddNotice(NOTICE_MESSAGE, std::to_wstring(i), L"");
    }
    EXPECT_EQ(s_popup->QueueLength(), CTipDlg::kMaxWaiting);
    TakeNext();
    EXPECT_EQ(s_popup->CurrentNotice().text, L"50") << "the oldest went first";
}

// The heartbeat worker and the update check queue while the UI thread takes
// notices out: below the bound nothing is lost, doubled or reordered.
TEST_F(NoticePopup, NoticesFromOtherThreadsArriveInOrder) {
    constexpr int kProducers = 2, kCount = 750;
    std::atomic<int> running{kProducers};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < kCount; ++i) {
                while (s_popup->QueueLength() >= CTipDlg::kMaxWaiting / 2) {
                    Sleep(1);
                }
                s_popup->AddNotice(NOTICE_MESSAGE, std::to_wstring(p * kCount + i), L"");
            }
            --running;
        });
    }
    std::vector<int> seen[kProducers];
    for (bool last = false; !last;) {
        last = running == 0;
        while (s_popup->QueueLength() > 0) {
            TakeNext();
            const int n = std::stoi(s_popup->CurrentNotice().text);
            seen[n / kCount].push_back(n % kCount);
        }
    }
    for (auto& producer : producers) {
        producer.join();
    }
    for (const auto& one : seen) {
        ASSERT_EQ(one.size(), static_cast<size_t>(kCount));
        for (int i = 0; i < kCount; ++i) {
            ASSERT_EQ(one[i], i);
        }
    }
}

} // namespace
