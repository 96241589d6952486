#include "skin/subclass_wnd.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using skintest::CRecordingWindow;

constexpr UINT kProbe = WM_APP + 10;
constexpr UINT kNested = WM_APP + 11;

// Records its tag for every message it sees, then passes the message on.
class CTagHandler : public CSubclassWnd {
public:
    CTagHandler(std::string tag, std::string& log) : tag_(std::move(tag)), log_(log) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kProbe || message == WM_NCDESTROY) {
            log_ += tag_;
        }
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::string tag_;
    std::string& log_;
};

std::string Probe(HWND hwnd, std::string& log) {
    log.clear();
    SendMessageW(hwnd, kProbe, 0, 0);
    return log;
}

TEST(SkinSubclass, NewestHandlerFirstAndUninstallFromAnyPosition) {
    CRecordingWindow window;
    std::string log;
    CTagHandler a("a", log), b("b", log), c("c", log);
    a.Install(window.hwnd());
    b.Install(window.hwnd());
    c.Install(window.hwnd());
    EXPECT_EQ(Probe(window.hwnd(), log), "cba");

    const struct {
        CTagHandler* leave;
        const char* after;
    } steps[] = {{&b, "ca"}, {&a, "c"}, {&c, ""}};
    for (const auto& step : steps) {
        const int before = window.Count(kProbe);
        EXPECT_EQ(step.leave->Install(static_cast<HWND>(nullptr)), 1);
        EXPECT_FALSE(step.leave->IsInstalled());
        EXPECT_EQ(Probe(window.hwnd(), log), step.after);
        EXPECT_EQ(window.Count(kProbe), before + 1) << "the former procedure is still reached";
    }
    // Uninstalling what is not installed does nothing.
    EXPECT_EQ(a.Install(static_cast<HWND>(nullptr)), 1);
}

TEST(SkinSubclass, LastHandlerPutsBackTheFormerProcedure) {
    CRecordingWindow window;
    const LONG_PTR before = GetWindowLongPtrW(window.hwnd(), GWLP_WNDPROC);
    std::string log;
    {
        CTagHandler a("a", log), b("b", log);
        a.Install(window.hwnd());
        b.Install(window.hwnd());
        EXPECT_NE(GetWindowLongPtrW(window.hwnd(), GWLP_WNDPROC), before);
        a.Uninstall();
        EXPECT_NE(GetWindowLongPtrW(window.hwnd(), GWLP_WNDPROC), before);
    } // b's destructor uninstalls it
    EXPECT_EQ(GetWindowLongPtrW(window.hwnd(), GWLP_WNDPROC), before);
    EXPECT_EQ(Probe(window.hwnd(), log), "");
}

TEST(SkinSubclass, DestroyedWindowUninstallsEveryHandlerFirst) {
    auto window = std::make_unique<CRecordingWindow>();
    HWND hwnd = window->hwnd();
    std::string log;
    CTagHandler a("a", log), b("b", log);
    a.Install(hwnd);
    b.Install(hwnd);
    log.clear();
    DestroyWindow(hwnd);
    EXPECT_TRUE(window->sawNcDestroy);
    EXPECT_EQ(log, "") << "handlers are gone before the window's last message";
    EXPECT_FALSE(a.IsInstalled());
    EXPECT_FALSE(b.IsInstalled());
    // A new window that happens to get the same handle starts without handlers.
    CRecordingWindow other;
    EXPECT_EQ(Probe(other.hwnd(), log), "");
}

TEST(SkinSubclass, MovingToAnotherWindowLeavesTheFirst) {
    CRecordingWindow one, two;
    std::string log;
    CTagHandler a("a", log);
    a.Install(one.hwnd());
    a.Install(two.hwnd());
    EXPECT_EQ(Probe(one.hwnd(), log), "");
    EXPECT_EQ(Probe(two.hwnd(), log), "a");
    EXPECT_EQ(a.GetHwnd(), two.hwnd());
}

// Sends itself another message while handling kProbe, then lets Default()
// pass kProbe on: the nested dispatch must not disturb the current message.
class CNestingHandler : public CSubclassWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kProbe) {
            SendMessageW(GetHwnd(), kNested, 7, 8);
            return Default();
        }
        if (message == kNested) {
            return Default() + 100;
        }
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(SkinSubclass, DefaultPassesOnTheMessageBeingDispatched) {
    CRecordingWindow window;
    CNestingHandler handler;
    std::string log;
    CTagHandler outer("o", log);
    handler.Install(window.hwnd());
    outer.Install(window.hwnd());
    SendMessageW(window.hwnd(), kProbe, 3, 4);
    ASSERT_GE(window.seen.size(), 2u);
    const auto& nested = window.seen[window.seen.size() - 2];
    const auto& probe = window.seen.back();
    EXPECT_EQ(nested.message, kNested);
    EXPECT_EQ(nested.wParam, 7u);
    EXPECT_EQ(probe.message, kProbe);
    EXPECT_EQ(probe.wParam, 3u);
    EXPECT_EQ(probe.lParam, 4);
    EXPECT_EQ(log, "o");
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
WNDPROC g_beneath = nullptr;
int g_counted = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe) {
        ++g_counted;
    }
    return CallWindowProcW(g_beneath, hwnd, message, wParam, lParam);
}

TEST(SkinSubclass, SubclassedAfterUsTheChainStaysWhole) {
    auto window = std::make_unique<CRecordingWindow>();
    std::string log;
    CTagHandler a("a", log);
    a.Install(window->hwnd());
    // Someone else subclasses the window after us...
    g_beneath = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window->hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    // ...so leaving cannot put the old procedure back without cutting them off.
    a.Uninstall();
    g_counted = 0;
    EXPECT_EQ(Probe(window->hwnd(), log), "");
    EXPECT_EQ(g_counted, 1);
    EXPECT_EQ(window->Count(kProbe), 1);
    // Installing again reuses the place still held in the chain.
    a.Install(window->hwnd());
    EXPECT_EQ(Probe(window->hwnd(), log), "a");
    EXPECT_EQ(window->Count(kProbe), 2);
    window.reset();
    EXPECT_FALSE(a.IsInstalled());
}

} // namespace
