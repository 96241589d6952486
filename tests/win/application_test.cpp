#include "dialog_template.h"
#include "framework/application.h"
#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

constexpr int kEditId = 100;
constexpr UINT kLateClose = WM_APP + 1;
constexpr INT_PTR kLateResult = 7;
constexpr int kHangExitCode = 99;
constexpr wchar_t kAppName[] = L"Framework Test";

// Ends a message loop that would otherwise hang the test run.
class CHangGuard {
public:
    CHangGuard() : m_timer(SetTimer(nullptr, 0, 5000, Fire)) {}
    ~CHangGuard() { KillTimer(nullptr, m_timer); }

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(kHangExitCode); }
    UINT_PTR m_timer;
};

class CTestApp : public CApplication {
public:
    explicit CTestApp(std::function<bool(CTestApp&)> init = nullptr)
        : CApplication(kAppName), m_init(std::move(init)) {}

protected:
    bool InitInstance() override { return m_init(*this); }

private:
    std::function<bool(CTestApp&)> m_init;
};

const DLGTEMPLATE* MainTemplate() {
    static const CDialogTemplate dialog = [] {
        CDialogTemplate t(WS_POPUP | WS_CAPTION, L"main");
        t.Add(CDialogTemplate::kEdit, kEditId, WS_BORDER | WS_TABSTOP, L"", 5);
        return t;
    }();
    return dialog.get();
}

// Gets Escape, then a late close, as it opens. keepEscape consumes the key in PreTranslateMessage;
// askOnCancel makes its Cancel first run a modal dialog of its kind that keeps Escape.
class CKeysDialog : public CDialog {
public:
    CKeysDialog(bool keepEscape, bool askOnCancel)
        : CDialog(MainTemplate()), m_keepEscape(keepEscape), m_askOnCancel(askOnCancel) {}
    bool lateCloseSeen = false;
    INT_PTR askResult = 0;

protected:
    bool OnInitDialog() override {
        PostMessageW(GetDlgItem(m_hWnd, kEditId), WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(m_hWnd, kLateClose, 0, 0);
        return true;
    }
    bool PreTranslateMessage(MSG& msg) override {
        if (m_keepEscape && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            return true;
        }
        return CDialog::PreTranslateMessage(msg);
    }
    void OnCancel() override {
        if (m_askOnCancel) {
            askResult = CKeysDialog(true, false).DoModal(m_hWnd);
        }
        CDialog::OnCancel();
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        // An asking window leaves its own late close alone: it would end the window under its question.
        if (message == kLateClose && !m_askOnCancel) {
            lateCloseSeen = true;
            EndDialog(kLateResult);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }

private:
    bool m_keepEscape;
    bool m_askOnCancel;
};

enum class Start { Fails, WithoutWindow, OpensMainWindow };

TEST(Application, LoopRoutesModelessDialogKeysAndEndsWithTheMainWindow) {
    struct Case {
        const char* name;
        Start start;
        bool keepEscape;
        bool askOnCancel;
        int exitCode;
        bool lateCloseSeen;
        INT_PTR askResult;
    };
    const Case cases[] = {
        {"failed start", Start::Fails, false, false, 1, false, 0},
        {"nothing to run", Start::WithoutWindow, false, false, 0, false, 0},
        {"Escape cancels the main window", Start::OpensMainWindow, false, false, 0, false, 0},
        {"PreTranslateMessage keeps Escape", Start::OpensMainWindow, true, false, 0, true, 0},
        // Started from inside the main window's dialog manager, the modal run must still offer its own keys.
        {"a modal run started by a key gets its own keys", Start::OpensMainWindow, false, true, 0, false,
         kLateResult},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHangGuard guard;
        CKeysDialog mainDialog(c.keepEscape, c.askOnCancel);
        CTestApp app([&](CTestApp& a) {
            EXPECT_EQ(AppInstance(), &a);
            if (c.start != Start::OpensMainWindow) {
                return c.start == Start::WithoutWindow;
            }
            a.SetMainWindow(&mainDialog);
            return mainDialog.Create();
        });
        EXPECT_EQ(app.Execute(), c.exitCode);
        EXPECT_EQ(mainDialog.lateCloseSeen, c.lateCloseSeen);
        EXPECT_EQ(mainDialog.askResult, c.askResult);
        EXPECT_EQ(mainDialog.GetSafeHwnd(), nullptr);
        EXPECT_EQ(app.GetMainWindow(), nullptr);
    }
    EXPECT_EQ(AppInstance(), nullptr);
}

constexpr wchar_t kBoxText[] = L"\u52A0\u8F7D\u5931\u8D25\uFF01";
// The message box found on screen by its caption, closed once its owner and text are noted.
HWND g_boxOwner = nullptr;
bool g_boxHasText = false;

void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowW(L"#32770", kAppName);
    if (!box || !IsWindowVisible(box)) {
        return;
    }
    g_boxOwner = GetWindow(box, GW_OWNER);
    g_boxHasText = FindWindowExW(box, nullptr, L"Static", kBoxText) != nullptr;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(Application, MessageBoxIsOwnedByTheMainWindowAndNamedAfterTheProgram) {
    for (bool withMainWindow : {false, true}) {
        SCOPED_TRACE(withMainWindow);
        CTestApp app;
        CDialog mainDialog(MainTemplate());
        if (withMainWindow) {
            ASSERT_TRUE(mainDialog.Create());
            app.SetMainWindow(&mainDialog);
        }
        g_boxHasText = false;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseMessageBox);
        EXPECT_EQ(AppMessageBox(kBoxText, MB_OK), IDOK);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_boxHasText);
        EXPECT_EQ(g_boxOwner, withMainWindow ? mainDialog.GetSafeHwnd() : nullptr);
        if (withMainWindow) {
            mainDialog.EndDialog(IDOK);
            // The main window's end asks the loop to stop; no loop runs here.
            MSG quit;
            EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        }
    }
}

} // namespace
