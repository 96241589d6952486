#include "skin/subclass_wnd.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using skintest::CRecordingWindow;

constexpr UINT kProbe = WM_APP + 10;
constexpr UINT kNested = WM_APP + 11;

// Records its tag for every kProbe and WM_NCDESTROY it sees, then passes the message on.
class CTagHandler : public CSubclassWnd {
public:
    CTagHandler(std::string tag, std::string& log) : m_tag(std::move(tag)), m_log(log) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kProbe || message == WM_NCDESTROY) {
            m_log += m_tag;
        }
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::string m_tag;
    std::string& m_log;
};

std::string Probe(HWND hwnd, std::string& log) {
    log.clear();
    SendMessageW(hwnd, kProbe, 0, 0);
    return log;
}

TEST(SkinSubclass, NewestFirstUninstallFromAnyPositionAndTheLastPutsTheProcedureBack) {
    CRecordingWindow window;
    const LONG_PTR former = GetWindowLongPtrW(window.Hwnd(), GWLP_WNDPROC);
    std::string log;
    CTagHandler a("a", log), b("b", log), c("c", log);
    for (CTagHandler* h : {&a, &b, &c}) {
        h->Install(window.Hwnd());
    }
    EXPECT_EQ(Probe(window.Hwnd(), log), "cba");
    const struct {
        CTagHandler* leave;
        const char* after;
    } steps[] = {{&b, "ca"}, {&a, "c"}, {&c, ""}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.after);
        const int before = window.Count(kProbe);
        EXPECT_EQ(step.leave->Install(static_cast<HWND>(nullptr)), 1);
        EXPECT_FALSE(step.leave->IsInstalled());
        EXPECT_EQ(Probe(window.Hwnd(), log), step.after);
        EXPECT_EQ(window.Count(kProbe), before + 1) << "the former procedure is still reached";
    }
    EXPECT_EQ(GetWindowLongPtrW(window.Hwnd(), GWLP_WNDPROC), former);
    EXPECT_EQ(a.Install(static_cast<HWND>(nullptr)), 1) << "uninstalling twice does nothing";

    // Installing on another window leaves the first.
    CRecordingWindow other;
    a.Install(window.Hwnd());
    a.Install(other.Hwnd());
    EXPECT_EQ(Probe(window.Hwnd(), log), "");
    EXPECT_EQ(Probe(other.Hwnd(), log), "a");
}

TEST(SkinSubclass, DestroyedWindowUninstallsEveryHandlerFirst) {
    auto window = std::make_unique<CRecordingWindow>();
    std::string log;
    CTagHandler a("a", log), b("b", log);
    a.Install(window->Hwnd());
    b.Install(window->Hwnd());
    log.clear();
    DestroyWindow(window->Hwnd());
    EXPECT_EQ(window->Count(WM_NCDESTROY), 1);
    EXPECT_EQ(log, "") << "handlers are gone before the window's last message";
    EXPECT_FALSE(a.IsInstalled());
    EXPECT_FALSE(b.IsInstalled());
    // A new window that happens to get the same handle starts without handlers.
    CRecordingWindow next;
    EXPECT_EQ(Probe(next.Hwnd(), log), "");
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
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(SkinSubclass, DefaultPassesOnTheMessageBeingDispatched) {
    CRecordingWindow window;
    CNestingHandler handler;
    std::string log;
    CTagHandler outer("o", log);
    handler.Install(window.Hwnd());
    outer.Install(window.Hwnd());
    SendMessageW(window.Hwnd(), kProbe, 3, 4);
    ASSERT_GE(window.seen.size(), 2u);
    const MSG& nested = window.seen[window.seen.size() - 2];
    const MSG& probe = window.seen.back();
    EXPECT_EQ(nested.message, kNested);
    EXPECT_EQ(nested.wParam, 7u);
    EXPECT_EQ(probe.message, kProbe);
    EXPECT_EQ(probe.wParam, 3u);
    EXPECT_EQ(probe.lParam, 4);
    EXPECT_EQ(log, "o");
}

WNDPROC g_beneath = nullptr;
int g_counted = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_counted += message == kProbe;
    return CallWindowProcW(g_beneath, hwnd, message, wParam, lParam);
}

TEST(SkinSubclass, SubclassedAfterUsTheChainStaysWhole) {
    auto window = std::make_unique<CRecordingWindow>();
    std::string log;
    CTagHandler a("a", log);
    a.Install(window->Hwnd());
    // Someone else subclasses the window after us, so leaving cannot put the
    // old procedure back without cutting them off.
    g_beneath = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window->Hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    a.Uninstall();
    g_counted = 0;
    EXPECT_EQ(Probe(window->Hwnd(), log), "");
    EXPECT_EQ(g_counted, 1);
    EXPECT_EQ(window->Count(kProbe), 1);
    // Installing again reuses the place still held in the chain.
    a.Install(window->Hwnd());
    EXPECT_EQ(Probe(window->Hwnd(), log), "a");
    EXPECT_EQ(window->Count(kProbe), 2);
    window.reset();
    EXPECT_FALSE(a.IsInstalled());
}

} // namespace
