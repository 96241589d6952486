#include "dialog_template.h"
#include "framework/application.h"
#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int kEditId = 100;
constexpr UINT kLateClose = WM_APP + 1;
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
    CTestApp() : CApplication(kAppName) {}
    std::function<bool(CTestApp&)> init;
    int exits = 0;

protected:
    bool InitInstance() override { return init(*this); }
    int ExitInstance() override {
        ++exits;
        return CApplication::ExitInstance();
    }
};

TEST(Application, StartWithoutMainWindowOrFailedStartEndsAtOnce) {
    struct Case {
        const char* name;
        bool initResult;
        int exitCode;
    };
    for (const Case& c : {Case{"no main window", true, 0}, Case{"failed start", false, 1}}) {
        SCOPED_TRACE(c.name);
        CHangGuard guard;
        CTestApp app;
        EXPECT_EQ(AppInstance(), &app);
        app.init = [&](CTestApp&) { return c.initResult; };
        EXPECT_EQ(app.Execute(), c.exitCode);
        EXPECT_EQ(app.exits, 1);
    }
    EXPECT_EQ(AppInstance(), nullptr);
}

// A modeless main window; Escape ends it unless its PreTranslateMessage consumes the key.
class CMainDialog : public CDialog {
public:
    CMainDialog(const DLGTEMPLATE* dialogTemplate, bool keepEscape)
        : CDialog(dialogTemplate), m_keepEscape(keepEscape) {}
    bool lateCloseSeen = false;

protected:
    bool PreTranslateMessage(MSG& msg) override {
        if (m_keepEscape && msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
            return true;
        return CDialog::PreTranslateMessage(msg);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kLateClose) {
            lateCloseSeen = true;
            DestroyWindow(m_hWnd);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }

private:
    bool m_keepEscape;
};

TEST(Application, LoopRoutesDialogKeysAndEndsWithTheMainWindow) {
    CDialogTemplate dialogTemplate(WS_POPUP | WS_CAPTION, L"main");
    dialogTemplate.Add(CDialogTemplate::kEdit, kEditId, WS_BORDER | WS_TABSTOP, L"", 5);
    for (bool keepEscape : {false, true}) {
        SCOPED_TRACE(keepEscape);
        CHangGuard guard;
        CMainDialog mainDialog(dialogTemplate.get(), keepEscape);
        CTestApp app;
        app.init = [&](CTestApp& a) {
            if (!mainDialog.Create())
                return false;
            a.SetMainWindow(&mainDialog);
            HWND edit = GetDlgItem(mainDialog.GetSafeHwnd(), kEditId);
            PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageW(mainDialog.GetSafeHwnd(), kLateClose, 0, 0);
            return true;
        };
        EXPECT_EQ(app.Execute(), 0);
        EXPECT_EQ(app.exits, 1);
        EXPECT_EQ(mainDialog.lateCloseSeen, keepEscape);
        EXPECT_EQ(mainDialog.GetSafeHwnd(), nullptr);
        EXPECT_EQ(app.GetMainWindow(), nullptr);
    }
}

// Keeps Escape through its PreTranslateMessage; a posted message ends it.
class CKeepEscapeDialog : public CDialog {
public:
    explicit CKeepEscapeDialog(const DLGTEMPLATE* dialogTemplate) : CDialog(dialogTemplate) {}
    static constexpr INT_PTR kLateResult = 7;

protected:
    bool OnInitDialog() override {
        PostMessageW(GetDlgItem(m_hWnd, kEditId), WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(m_hWnd, kLateClose, 0, 0);
        return CDialog::OnInitDialog();
    }
    bool PreTranslateMessage(MSG& msg) override {
        return msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kLateClose) {
            EndDialog(kLateResult);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

// A main window whose Cancel runs a modal dialog, then closes the main window.
class CAskingMainDialog : public CDialog {
public:
    CAskingMainDialog(const DLGTEMPLATE* mainTemplate, const DLGTEMPLATE* askTemplate)
        : CDialog(mainTemplate), m_askTemplate(askTemplate) {}
    INT_PTR askResult = 0;

protected:
    void OnCancel() override {
        CKeepEscapeDialog ask(m_askTemplate);
        askResult = ask.DoModal(m_hWnd);
        DestroyWindow(m_hWnd);
    }

private:
    const DLGTEMPLATE* m_askTemplate;
};

TEST(Application, ModalRunStartedByADialogKeyGetsItsOwnKeys) {
    CDialogTemplate dialogTemplate(WS_POPUP | WS_CAPTION, L"main");
    dialogTemplate.Add(CDialogTemplate::kEdit, kEditId, WS_BORDER | WS_TABSTOP, L"", 5);
    CHangGuard guard;
    CAskingMainDialog mainDialog(dialogTemplate.get(), dialogTemplate.get());
    CTestApp app;
    app.init = [&](CTestApp& a) {
        if (!mainDialog.Create())
            return false;
        a.SetMainWindow(&mainDialog);
        PostMessageW(GetDlgItem(mainDialog.GetSafeHwnd(), kEditId), WM_KEYDOWN, VK_ESCAPE, 1);
        return true;
    };
    EXPECT_EQ(app.Execute(), 0);
    // Escape reached the main window's dialog manager, whose Cancel ran the
    // modal dialog; that one's PreTranslateMessage must still see its own keys.
    EXPECT_EQ(mainDialog.askResult, CKeepEscapeDialog::kLateResult);
}

struct SeenBox {
    std::wstring caption;
    HWND owner = nullptr;
    std::vector<std::wstring> texts;
};

SeenBox g_seenBox;

BOOL CALLBACK CollectText(HWND child, LPARAM) {
    wchar_t text[128] = {};
    GetWindowTextW(child, text, 128);
    g_seenBox.texts.push_back(text);
    return TRUE;
}

BOOL CALLBACK CloseMessageBox(HWND hwnd, LPARAM) {
    wchar_t caption[64] = {};
    GetWindowTextW(hwnd, caption, 64);
    if (!IsWindowVisible(hwnd) || std::wstring(caption) != kAppName)
        return TRUE;
    g_seenBox.caption = caption;
    g_seenBox.owner = GetWindow(hwnd, GW_OWNER);
    EnumChildWindows(hwnd, CollectText, 0);
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK LookForMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseMessageBox, 0);
}

TEST(Application, MessageBoxIsOwnedByTheMainWindowAndNamedAfterTheProgram) {
    CDialogTemplate dialogTemplate(WS_POPUP | WS_CAPTION, L"main");
    for (bool withMainWindow : {false, true}) {
        SCOPED_TRACE(withMainWindow);
        CTestApp app;
        CDialog mainDialog(dialogTemplate.get());
        if (withMainWindow) {
            ASSERT_TRUE(mainDialog.Create());
            app.SetMainWindow(&mainDialog);
        }
        g_seenBox = {};
        UINT_PTR timer = SetTimer(nullptr, 0, 50, LookForMessageBox);
        EXPECT_EQ(AppMessageBox(L"\u52A0\u8F7D\u5931\u8D25\uFF01", MB_OK | MB_ICONEXCLAMATION), IDOK);
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_seenBox.caption, kAppName);
        EXPECT_EQ(g_seenBox.owner, withMainWindow ? mainDialog.GetSafeHwnd() : nullptr);
        EXPECT_NE(
            std::find(g_seenBox.texts.begin(), g_seenBox.texts.end(), L"\u52A0\u8F7D\u5931\u8D25\uFF01"),
            g_seenBox.texts.end());
        if (withMainWindow) {
            mainDialog.EndDialog(IDOK);
            // The main window's end asks the loop to stop; no loop runs here.
            MSG quit;
            EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        }
    }
}

} // namespace
