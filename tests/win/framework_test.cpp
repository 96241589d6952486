#include "dialog_template.h"
#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kEditId = 100;
constexpr int kOwnerDrawId = 101;
constexpr int kLabelId = 102;
constexpr UINT kFallbackEnd = WM_APP + 1;
constexpr UINT kDouble = WM_APP + 2;
constexpr UINT kOuter = WM_APP + 3;
constexpr UINT kUnhandled = WM_APP + 4;
constexpr UINT kPing = WM_APP + 5;
constexpr INT_PTR kFallbackResult = 42;

const DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

CDialogTemplate TestTemplate(DWORD style = kDialogStyle) {
    CDialogTemplate dialog(style, L"framework test");
    dialog.Add(CDialogTemplate::kEdit, kEditId, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, L"", 5)
        .Add(CDialogTemplate::kButton, kOwnerDrawId, BS_OWNERDRAW, L"draw", 25)
        .Add(CDialogTemplate::kStatic, kLabelId, SS_LEFT, L"label", 45)
        .Add(CDialogTemplate::kButton, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK", 65);
    return dialog;
}

enum class Ending { OkCommand, CloseMessage, EscapeKey, EscapeKeySwallowed, EndDuringInit };

// Ends its modal run in the way it is told, recording what it saw on the way.
class CEndingDialog : public CDialog {
public:
    CEndingDialog(const DLGTEMPLATE* dialogTemplate, Ending ending)
        : CDialog(dialogTemplate), m_ending(ending) {}

    HWND initHwnd = nullptr;
    bool foundByHandle = false;
    HWND handleAfterVtable = nullptr;

protected:
    bool OnInitDialog() override {
        initHwnd = m_hWnd;
        foundByHandle = FromHandle(m_hWnd) == this;
        // The skin library reads the handle from the object's memory, right after the vtable pointer.
        handleAfterVtable = reinterpret_cast<HWND*>(this)[1];
        switch (m_ending) {
        case Ending::OkCommand:
            PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(m_hWnd, IDOK)));
            break;
        case Ending::CloseMessage:
            PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
            break;
        case Ending::EscapeKey:
        case Ending::EscapeKeySwallowed:
            PostMessageW(GetDlgItem(m_hWnd, kEditId), WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageW(m_hWnd, kFallbackEnd, 0, 0);
            break;
        case Ending::EndDuringInit:
            EndDialog(kFallbackResult);
            break;
        }
        return CDialog::OnInitDialog();
    }

    bool PreTranslateMessage(MSG& msg) override {
        if (m_ending == Ending::EscapeKeySwallowed && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
            return true;
        return CDialog::PreTranslateMessage(msg);
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kFallbackEnd) {
            EndDialog(kFallbackResult);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }

private:
    Ending m_ending;
};

struct EndingCase {
    const char* name;
    Ending ending;
    INT_PTR result;
};

TEST(Dialog, ModalRunEndsAsTheDialogManagerAndHooksDecide) {
    const EndingCase cases[] = {
        {"OK command", Ending::OkCommand, IDOK},
        {"close box", Ending::CloseMessage, IDCANCEL},
        {"Escape reaches the dialog manager", Ending::EscapeKey, IDCANCEL},
        {"Escape consumed by PreTranslateMessage", Ending::EscapeKeySwallowed, kFallbackResult},
        {"ended during initialisation", Ending::EndDuringInit, kFallbackResult},
    };
    CDialogTemplate dialogTemplate = TestTemplate();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CEndingDialog dialog(dialogTemplate.get(), c.ending);
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_NE(dialog.initHwnd, nullptr);
        EXPECT_TRUE(dialog.foundByHandle);
        EXPECT_EQ(dialog.handleAfterVtable, dialog.initHwnd);
        EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
        EXPECT_EQ(CWindow::FromHandle(dialog.initHwnd), nullptr);
        EXPECT_FALSE(IsWindow(dialog.initHwnd));
    }
}

// Answers messages sent to itself during initialisation, then ends.
class CResultDialog : public CDialog {
public:
    explicit CResultDialog(const DLGTEMPLATE* dialogTemplate) : CDialog(dialogTemplate) {}
    std::function<void(CResultDialog&)> script;
    HWND Hwnd() const { return m_hWnd; }

protected:
    bool OnInitDialog() override {
        script(*this);
        EndDialog(IDOK);
        return true;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kDouble)
            return static_cast<LRESULT>(wParam * 2);
        if (message == kOuter) {
            SendMessageW(m_hWnd, kUnhandled, 0, 0);
            return 55;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

TEST(Dialog, HandlerResultsReachTheSender) {
    CDialogTemplate dialogTemplate = TestTemplate();
    CResultDialog dialog(dialogTemplate.get());
    std::vector<LRESULT> results;
    dialog.script = [&](CResultDialog& d) {
        results.push_back(SendMessageW(d.Hwnd(), kDouble, 21, 0));
        // A message left to the dialog manager inside a handled one must not unhandle the outer one.
        results.push_back(SendMessageW(d.Hwnd(), kOuter, 0, 0));
        results.push_back(SendMessageW(d.Hwnd(), kUnhandled, 0, 0));
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(results, (std::vector<LRESULT>{42, 55, 0}));
}

TEST(Dialog, EndingAModelessDialogDestroysIt) {
    CDialogTemplate dialogTemplate = TestTemplate();
    CDialog dialog(dialogTemplate.get());
    ASSERT_TRUE(dialog.Create());
    HWND hwnd = dialog.GetSafeHwnd();
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(dialog.IsModal());
    EXPECT_FALSE(dialog.Create()) << "one window per object";
    dialog.EndDialog(IDOK);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

TEST(Dialog, ObjectGoingAwayDestroysItsModelessWindow) {
    CDialogTemplate dialogTemplate = TestTemplate();
    HWND hwnd = nullptr;
    {
        CDialog dialog(dialogTemplate.get());
        ASSERT_TRUE(dialog.Create());
        hwnd = dialog.GetSafeHwnd();
        ASSERT_TRUE(IsWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CWindow::FromHandle(hwnd), nullptr);
}

// A control object that records what its parent reflects to it.
class CProbe : public CWindow {
public:
    bool handleCommand = false;
    std::vector<int> commands;
    HBRUSH brush = nullptr;
    int drawItems = 0;

protected:
    bool OnReflectedCommand(int code) override {
        commands.push_back(code);
        return handleCommand;
    }
    HBRUSH OnReflectedCtlColor(HDC, UINT) override { return brush; }
    bool OnReflectedDrawItem(const DRAWITEMSTRUCT&) override {
        ++drawItems;
        return true;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kPing)
            return 77;
        return CWindow::WindowProc(message, wParam, lParam);
    }
};

// Hosts probes on its controls and runs a script against them while it is open.
class CHostDialog : public CDialog {
public:
    explicit CHostDialog(const DLGTEMPLATE* dialogTemplate) : CDialog(dialogTemplate) {}
    std::function<void(CHostDialog&)> script;
    CProbe button;
    CProbe label;
    std::vector<int> parentCommands;
    HBRUSH parentBrush = nullptr;

    HWND Hwnd() const { return m_hWnd; }
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

protected:
    bool OnInitDialog() override {
        script(*this);
        EndDialog(IDOK);
        return true;
    }
    bool OnCommand(int id, int code, HWND control) override {
        parentCommands.push_back(id);
        return CDialog::OnCommand(id, code, control);
    }
    HBRUSH OnCtlColor(HDC, HWND, UINT) override { return parentBrush; }
};

void RunHost(const std::function<void(CHostDialog&)>& script) {
    CDialogTemplate dialogTemplate = TestTemplate();
    CHostDialog dialog(dialogTemplate.get());
    dialog.script = script;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.button.GetSafeHwnd(), nullptr) << "the window's end unbinds its control objects";
    EXPECT_EQ(dialog.label.GetSafeHwnd(), nullptr);
}

TEST(Controls, SubclassRoutesMessagesAndKeepsTheControlWorking) {
    RunHost([](CHostDialog& d) {
        HWND button = d.Item(kOwnerDrawId);
        ASSERT_TRUE(d.button.SubclassDlgItem(kOwnerDrawId, d.Hwnd()));
        EXPECT_EQ(CWindow::FromHandle(button), &d.button);
        EXPECT_EQ(SendMessageW(button, kPing, 0, 0), 77);
        SetWindowTextW(button, L"changed");
        wchar_t text[32] = {};
        GetWindowTextW(button, text, 32);
        EXPECT_STREQ(text, L"changed");

        CProbe other;
        EXPECT_FALSE(other.Subclass(button)) << "one object per window";
        EXPECT_FALSE(d.button.Attach(d.Item(kLabelId))) << "one window per object";
        EXPECT_FALSE(other.SubclassDlgItem(999, d.Hwnd()));

        EXPECT_EQ(d.button.Detach(), button);
        EXPECT_EQ(CWindow::FromHandle(button), nullptr);
        EXPECT_EQ(SendMessageW(button, kPing, 0, 0), 0);

        // Bound again: the dialog's end must unbind it.
        EXPECT_TRUE(d.button.Subclass(button));
        EXPECT_TRUE(d.label.Attach(d.Item(kLabelId)));
        EXPECT_EQ(SendMessageW(d.Item(kLabelId), kPing, 0, 0), 0) << "attaching takes no messages";
    });
}

TEST(Controls, CommandsGoToTheControlFirst) {
    struct Case {
        bool controlHandles;
        std::vector<int> parentSees;
    };
    for (const Case& c : {Case{false, {kOwnerDrawId}}, Case{true, {}}}) {
        SCOPED_TRACE(c.controlHandles);
        RunHost([&](CHostDialog& d) {
            HWND button = d.Item(kOwnerDrawId);
            ASSERT_TRUE(d.button.Attach(button));
            d.button.handleCommand = c.controlHandles;
            SendMessageW(d.Hwnd(), WM_COMMAND, MAKEWPARAM(kOwnerDrawId, BN_DOUBLECLICKED),
                         reinterpret_cast<LPARAM>(button));
            EXPECT_EQ(d.button.commands, std::vector<int>{BN_DOUBLECLICKED});
            EXPECT_EQ(d.parentCommands, c.parentSees);
        });
    }
}

TEST(Controls, ControlColourComesFromTheControlThenTheParent) {
    HBRUSH controlBrush = GetSysColorBrush(COLOR_WINDOW);
    HBRUSH parentBrush = GetSysColorBrush(COLOR_BTNFACE);
    struct Case {
        const char* name;
        int controlId;
        HBRUSH controlBrush;
        HBRUSH expected;
    };
    const Case cases[] = {
        {"control answers", kLabelId, controlBrush, controlBrush},
        {"control declines", kLabelId, nullptr, parentBrush},
        {"control without an object", kEditId, controlBrush, parentBrush},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunHost([&](CHostDialog& d) {
            ASSERT_TRUE(d.label.Attach(d.Item(kLabelId)));
            d.label.brush = c.controlBrush;
            d.parentBrush = parentBrush;
            HDC dc = GetDC(d.Hwnd());
            LRESULT brush = SendMessageW(d.Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(d.Item(c.controlId)));
            ReleaseDC(d.Hwnd(), dc);
            EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), c.expected);
        });
    }
}

TEST(Controls, OwnerDrawReachesTheControl) {
    RunHost([](CHostDialog& d) {
        HWND button = d.Item(kOwnerDrawId);
        ASSERT_TRUE(d.button.Subclass(button));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = kOwnerDrawId;
        item.hwndItem = button;
        EXPECT_EQ(SendMessageW(d.Hwnd(), WM_DRAWITEM, kOwnerDrawId, reinterpret_cast<LPARAM>(&item)), TRUE);
        EXPECT_EQ(d.button.drawItems, 1);
        item.CtlType = ODT_MENU; // menu items belong to the window itself
        SendMessageW(d.Hwnd(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(d.button.drawItems, 1);
    });
}

} // namespace
