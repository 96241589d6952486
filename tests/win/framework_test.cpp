#include "dialog_template.h"
#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

constexpr int kEditId = 100;
constexpr int kOwnerDrawId = 101;
constexpr int kLabelId = 102;
constexpr UINT kDouble = WM_APP + 1;
constexpr UINT kOuter = WM_APP + 2;
constexpr UINT kUnhandled = WM_APP + 3;
constexpr UINT kEnd = WM_APP + 4;
constexpr UINT kPing = WM_APP + 5;
constexpr INT_PTR kEndResult = 42;

const DLGTEMPLATE* TestTemplate() {
    static const CDialogTemplate dialog = [] {
        CDialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, L"framework test");
        t.Add(CDialogTemplate::kEdit, kEditId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, L"", 5)
            .Add(CDialogTemplate::kButton, kOwnerDrawId, BS_OWNERDRAW, L"draw", 25)
            .Add(CDialogTemplate::kStatic, kLabelId, SS_LEFT, L"label", 45)
            .Add(CDialogTemplate::kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK", 65);
        return t;
    }();
    return dialog.get();
}

const HBRUSH kControlBrush = GetSysColorBrush(COLOR_WINDOW);
const HBRUSH kParentBrush = GetSysColorBrush(COLOR_BTNFACE);

// A control object that counts what its parent reflects to it, and takes it when told to.
class CProbe : public CWindow {
public:
    bool answers = false;
    int reflected = 0;

protected:
    bool OnReflectedCommand(int) override { return ++reflected, answers; }
    HBRUSH OnReflectedCtlColor(HDC, UINT) override { return ++reflected, answers ? kControlBrush : nullptr; }
    bool OnReflectedDrawItem(const DRAWITEMSTRUCT&) override { return ++reflected, answers; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        return message == kPing ? 77 : CWindow::WindowProc(message, wParam, lParam);
    }
};

// Runs a script as it opens (then ends, unless told to wait), answers the test messages, and
// counts what reaches its own handlers.
class CScriptDialog : public CDialog {
public:
    explicit CScriptDialog(std::function<void(CScriptDialog&)> script, bool endAtOnce = true)
        : CDialog(TestTemplate()), m_script(std::move(script)), m_endAtOnce(endAtOnce) {}

    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

    bool keepEscape = false;
    CProbe probe;
    int parentSaw = 0;
    HWND initHwnd = nullptr;
    bool foundByHandle = false;
    HWND handleAfterVtable = nullptr;

protected:
    bool OnInitDialog() override {
        initHwnd = m_hWnd;
        foundByHandle = FromHandle(m_hWnd) == this;
        // Skin.dll reads the handle from the object's memory, right after the vtable pointer.
        handleAfterVtable = reinterpret_cast<HWND*>(this)[1];
        m_script(*this);
        if (m_endAtOnce) {
            EndDialog(IDOK);
        }
        return CDialog::OnInitDialog();
    }
    bool PreTranslateMessage(MSG& msg) override {
        if (keepEscape && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            return true;
        }
        return CDialog::PreTranslateMessage(msg);
    }
    bool OnCommand(int id, int code, HWND control) override {
        ++parentSaw;
        return CDialog::OnCommand(id, code, control);
    }
    HBRUSH OnCtlColor(HDC, HWND, UINT) override { return ++parentSaw, kParentBrush; }
    bool OnDrawItem(int, const DRAWITEMSTRUCT&) override { return ++parentSaw, true; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case kDouble:
            return static_cast<LRESULT>(wParam * 2);
        case kOuter: // the dialog manager's answer to the inner message must not unhandle this one
            SendMessageW(m_hWnd, kUnhandled, 0, 0);
            return 55;
        case kEnd:
            EndDialog(kEndResult);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }

private:
    std::function<void(CScriptDialog&)> m_script;
    bool m_endAtOnce;
};

void PostEscapeThenEnd(CScriptDialog& d) {
    PostMessageW(d.Item(kEditId), WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(d.GetSafeHwnd(), kEnd, 0, 0);
}

TEST(Dialog, ModalRunEndsAsTheDialogManagerAndHooksDecide) {
    struct Case {
        const char* name;
        bool keepEscape;
        std::function<void(CScriptDialog&)> script;
        INT_PTR result;
    };
    const Case cases[] = {
        {"OK command", false, [](CScriptDialog& d) { PostMessageW(d.GetSafeHwnd(), WM_COMMAND, IDOK, 0); },
         IDOK},
        {"close box", false, [](CScriptDialog& d) { PostMessageW(d.GetSafeHwnd(), WM_CLOSE, 0, 0); },
         IDCANCEL},
        {"Escape reaches the dialog manager", false, PostEscapeThenEnd, IDCANCEL},
        {"Escape consumed by PreTranslateMessage", true, PostEscapeThenEnd, kEndResult},
        {"ended during initialisation", false, [](CScriptDialog& d) { d.EndDialog(kEndResult); }, kEndResult},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptDialog dialog(c.script, false);
        dialog.keepEscape = c.keepEscape;
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_TRUE(dialog.foundByHandle);
        EXPECT_EQ(dialog.handleAfterVtable, dialog.initHwnd);
        EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
        EXPECT_EQ(CWindow::FromHandle(dialog.initHwnd), nullptr);
        EXPECT_FALSE(IsWindow(dialog.initHwnd));
    }
}

TEST(Dialog, HandlerResultsReachTheSenderThroughNestedSends) {
    std::vector<LRESULT> results;
    CScriptDialog dialog([&](CScriptDialog& d) {
        for (UINT message : {kDouble, kOuter, kUnhandled}) {
            results.push_back(SendMessageW(d.GetSafeHwnd(), message, 21, 0));
        }
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(results, (std::vector<LRESULT>{42, 55, 0}));
}

TEST(Dialog, ObjectGoingAwayDestroysItsModelessWindow) {
    HWND hwnd = nullptr;
    {
        CDialog dialog(TestTemplate());
        ASSERT_TRUE(dialog.Create());
        EXPECT_FALSE(dialog.Create()) << "one window per object";
        hwnd = dialog.GetSafeHwnd();
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CWindow::FromHandle(hwnd), nullptr);
}

TEST(Controls, SubclassRoutesMessagesUntilDetached) {
    CScriptDialog dialog([](CScriptDialog& d) {
        HWND button = d.Item(kOwnerDrawId);
        ASSERT_TRUE(d.probe.SubclassDlgItem(kOwnerDrawId, d.GetSafeHwnd()));
        EXPECT_EQ(SendMessageW(button, kPing, 0, 0), 77);
        SetWindowTextW(button, L"changed"); // the control's own procedure still runs
        EXPECT_EQ(GetWindowTextLengthW(button), 7);

        CProbe other;
        EXPECT_FALSE(other.Subclass(button)) << "one object per window";
        EXPECT_FALSE(d.probe.Attach(d.Item(kLabelId))) << "one window per object";
        EXPECT_EQ(d.probe.Detach(), button);
        EXPECT_EQ(SendMessageW(button, kPing, 0, 0), 0);
        EXPECT_TRUE(d.probe.Attach(button)); // bound again: the dialog's end must unbind it
        EXPECT_EQ(SendMessageW(button, kPing, 0, 0), 0) << "attaching takes no messages";
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.probe.GetSafeHwnd(), nullptr);
}

TEST(Controls, ReflectedMessagesGoToTheControlFirst) {
    struct Case {
        const char* name;
        UINT message;
        bool menuItem;
        int controlId; // the probe is on the owner-drawn button only
        bool controlAnswers;
        int reflected;
        int parentSaw;
    };
    const Case cases[] = {
        {"command taken by the control", WM_COMMAND, false, kOwnerDrawId, true, 1, 0},
        {"command left by the control", WM_COMMAND, false, kOwnerDrawId, false, 1, 1},
        {"colour from the control", WM_CTLCOLORSTATIC, false, kOwnerDrawId, true, 1, 0},
        {"colour left by the control", WM_CTLCOLORSTATIC, false, kOwnerDrawId, false, 1, 1},
        {"colour of a control without an object", WM_CTLCOLORSTATIC, false, kLabelId, true, 0, 1},
        {"owner draw", WM_DRAWITEM, false, kOwnerDrawId, true, 1, 0},
        {"menu items belong to the window", WM_DRAWITEM, true, kOwnerDrawId, true, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptDialog dialog([&](CScriptDialog& d) {
            ASSERT_TRUE(d.probe.Attach(d.Item(kOwnerDrawId)));
            d.probe.answers = c.controlAnswers;
            HWND control = d.Item(c.controlId);
            HDC dc = GetDC(d.GetSafeHwnd());
            DRAWITEMSTRUCT item{};
            item.CtlType = c.menuItem ? ODT_MENU : ODT_BUTTON;
            item.CtlID = c.controlId;
            item.hwndItem = control;
            WPARAM wParam = c.message == WM_COMMAND    ? MAKEWPARAM(c.controlId, BN_DOUBLECLICKED)
                            : c.message == WM_DRAWITEM ? c.controlId
                                                       : reinterpret_cast<WPARAM>(dc);
            LPARAM lParam = c.message == WM_DRAWITEM ? reinterpret_cast<LPARAM>(&item)
                                                     : reinterpret_cast<LPARAM>(control);
            d.parentSaw = 0;
            LRESULT result = SendMessageW(d.GetSafeHwnd(), c.message, wParam, lParam);
            ReleaseDC(d.GetSafeHwnd(), dc);
            EXPECT_EQ(d.probe.reflected, c.reflected);
            EXPECT_EQ(d.parentSaw, c.parentSaw);
            HBRUSH brush = c.parentSaw ? kParentBrush : kControlBrush;
            EXPECT_EQ(result, c.message == WM_COMMAND    ? 0
                              : c.message == WM_DRAWITEM ? TRUE
                                                         : reinterpret_cast<LRESULT>(brush));
        });
        EXPECT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(dialog.probe.GetSafeHwnd(), nullptr) << "the window's end unbinds its control objects";
    }
}

// Where the open dialog titled "framework test" stands; ends it.
RECT g_openRect;
void CALLBACK RecordAndEnd(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND dialog = FindWindowW(nullptr, L"framework test")) {
        GetWindowRect(dialog, &g_openRect);
        PostMessageW(dialog, kEnd, 0, 0);
    }
}

TEST(Dialog, WithoutAPositionOfItsOwnOpensCentredOnItsOwner) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 120, 90, 500, 360, nullptr,
                                 nullptr, nullptr, nullptr);
    RECT ownerRect;
    GetWindowRect(owner, &ownerRect);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, RecordAndEnd);
    CScriptDialog placed([](CScriptDialog&) {}, false);
    EXPECT_EQ(placed.DoModal(owner), kEndResult);
    EXPECT_NEAR((g_openRect.left + g_openRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 1);
    EXPECT_NEAR((g_openRect.top + g_openRect.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 1);

    // One its initialisation places stays where it was put.
    CScriptDialog moved(
        [](CScriptDialog& d) {
            SetWindowPos(d.GetSafeHwnd(), nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        },
        false);
    EXPECT_EQ(moved.DoModal(owner), kEndResult);
    EXPECT_EQ(g_openRect.left, 7);
    EXPECT_EQ(g_openRect.top, 9);
    KillTimer(nullptr, timer);
    DestroyWindow(owner);
}

} // namespace
