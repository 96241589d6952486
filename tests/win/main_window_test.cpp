// The signed-in window in this process, against the stand-in service: the
// page's calls as a page makes them, keys through the real pre-translation,
// the hot key and the settings plug-in.
#include "../core/devservice_fixture.h"
#include "browser/kiv_html_view.h"
#include "browser_host_test_support.h"
#include "config/config_resource.h"
#include "framework/com.h"
#include "framework/gdi.h"
#include "framework/gdiplus_session.h"
#include "framework/handles.h"
#include "protocol/service_client.h"
#include "pump_until.h"
#include "session/heartbeat_worker.h"
#include "session/main_window.h"
#include "session/notice_resource.h"
#include "session/session_resource.h"
#include "settings/sms_setting.h"
#include "signin/session_sign_in.h"
#include "skin/skin.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using browserhosttest::Text;

constexpr wchar_t kExitQuestion[] = L"是否退出Velmarin客户端？";

// Answers each message box of this thread with answer and records "caption|text";
// inPageCall tells whether a box came up while a page's call was still running.
struct CBoxes {
    std::vector<std::wstring> seen;
    int answer = IDNO;
    bool inPageCall = false;
    bool duringPageCall = false;
};
CBoxes g_boxes;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    wchar_t caption[128] = {}, text[256] = {};
    // The boxes of this window are captioned with the program's name or as errors.
    if (code == HCBT_ACTIVATE && GetClassNameW(box, caption, 128) && std::wstring(caption) == L"#32770" &&
        GetWindowTextW(box, caption, 128) &&
        (std::wstring(caption) == L"Velmarin" || std::wstring(caption) == L"错误") &&
        GetDlgItem(box, 0xFFFF)) {
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        g_boxes.seen.push_back(std::wstring(caption) + L"|" + text);
        g_boxes.duringPageCall |= g_boxes.inPageCall;
        PostMessageW(box, WM_COMMAND, g_boxes.answer, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The view's protected document setter, reached as a derived class may: no
// engine here loads the page, so the test shows the view one of its server.
struct CViewDocument : CKivHtmlView {
    static bool Show(CKivHtmlView& view, IUnknown* document) {
        return (view.*&CViewDocument::SetDocument)(document);
    }
};

// True when another registration of the combination fails: the window holds it.
bool HotKeyTaken(UINT modifiers, UINT key) {
    constexpr int kProbeId = 77;
    if (!RegisterHotKey(nullptr, kProbeId, modifiers, key)) {
        return true;
    }
    UnregisterHotKey(nullptr, kProbeId);
    return false;
}

class MainWindow : public DevServiceTest {
protected:
    void SetUp() override {
        DevServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_resources.reset(LoadLibraryW(L"res.dll"));
        ASSERT_TRUE(m_resources);
        // The view's page (which no engine here loads) is not the stand-in's:
        // the page commands go to the service endpoint all the same.
        m_settings.appServer = L"http://127.0.0.1:9";
        m_settings.updServer = L"http://127.0.0.1:9";
        m_settings.ctrlKey = 0;
        m_settings.altKey = 0;
        m_settings.shiftKey = 0;
        m_settings.codeKey = 'Q';
        m_session.Set({L"05512345678", L"abc123", L"session-1", L""});
        g_boxes = {};
        m_boxHook.reset(SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId()));
    }
    void TearDown() override {
        m_window.reset();
        m_boxHook.reset();
        DevServiceTest::TearDown();
    }

    HWND Open() {
        m_window = std::make_unique<CVelmarinDlg>(m_settings, m_resources.get(), m_session);
        EXPECT_TRUE(m_window->Create(nullptr));
        ShowWindow(m_window->GetSafeHwnd(), SW_SHOW);
        PumpFor(50);
        return m_window->GetSafeHwnd();
    }

    // Calls window.external.InvokeWebserver(command, data) as the page does.
    void PageCall(const std::wstring& command, const std::wstring& data) {
        auto* view = dynamic_cast<CKivHtmlView*>(
            CWindow::FromHandle(GetDlgItem(m_window->GetSafeHwnd(), IDC_MAIN_VIEW)));
        ASSERT_NE(view, nullptr);
        auto* page = new browserhosttest::CFakeDocument(nullptr, L"http://127.0.0.1:9/chat/clientindex.aspx");
        ASSERT_TRUE(CViewDocument::Show(*view, static_cast<IHTMLDocument*>(page)));
        page->Release();
        auto handler = com_ptr<IOleClientSite>::copy_from(view->GetControlSite()).query<IDocHostUIHandler>();
        ASSERT_TRUE(handler);
        com_ptr<IDispatch> external;
        ASSERT_EQ(handler->GetExternal(external.put()), S_OK);
        std::wstring name = L"InvokeWebserver";
        LPOLESTR names[] = {name.data()};
        DISPID id = 0;
        ASSERT_EQ(external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id), S_OK);
        VARIANT args[] = {Text(data), Text(command)}; // last first
        DISPPARAMS params{args, nullptr, 2, 0};
        g_boxes.inPageCall = true;
        EXPECT_EQ(external->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
                  S_OK);
        g_boxes.inPageCall = false;
        for (VARIANT& arg : args) {
            VariantClear(&arg);
        }
    }

    int Logged(const char* code) {
        const auto log = Log();
        return static_cast<int>(
            std::count_if(log.begin(), log.end(), [&](auto& c) { return c.code == code; }));
    }

    // OLE for the whole suite, as the program has it for its whole life.
    static void SetUpTestSuite() { s_ole = new unique_oleuninitialize_call(OleInitializeScoped()); }
    static void TearDownTestSuite() {
        delete s_ole;
        s_ole = nullptr;
    }
    static inline unique_oleuninitialize_call* s_ole = nullptr;
    unique_gdiplus_token m_gdiplus = GdiplusStartupScoped();
    unique_hmodule m_resources;
    CSMSSetting m_settings{L"unused.dat"};
    CSessionRecord m_session;
    unique_hhook m_boxHook;
    std::unique_ptr<CVelmarinDlg> m_window;
};

TEST_F(MainWindow, PageCommandsSendOneCommandEachAndExitIsAskedFromTheQueue) {
    HWND hwnd = Open();
    for (const std::wstring data : {L"type=1&to=13800000000&text=你好", L""}) {
        const int before = Logged("1003");
        PageCall(L"1003", data);
        EXPECT_EQ(Logged("1003"), before + 1) << "data \"" << std::string(data.begin(), data.end()) << "\"";
    }
    PageCall(L"1005", L"x");
    EXPECT_TRUE(g_boxes.seen.empty());

    // The exit question comes after the page's call has returned; No keeps everything.
    PageCall(L"1004", L"");
    EXPECT_TRUE(g_boxes.seen.empty()) << "asked inside the page's own call";
    ASSERT_TRUE(PumpUntil([] { return !g_boxes.seen.empty(); }, 3000));
    EXPECT_FALSE(g_boxes.duringPageCall);
    EXPECT_EQ(g_boxes.seen, std::vector<std::wstring>{std::wstring(L"Velmarin|") + kExitQuestion});
    PumpFor(200);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(Logged("1004"), 0);

    // Yes logs out once and takes the window down.
    g_boxes.answer = IDYES;
    PageCall(L"1004", L"");
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }, 5000));
    EXPECT_EQ(Logged("1004"), 1);
}

// The window shows at once, its tray icon already there; its web view, the
// slow part, comes from the queue and fills the client area, and its first
// page goes out with the session cookie of the sign-in.
TEST_F(MainWindow, ShowsBeforeItsViewWhichFollowsFromTheQueue) {
    CUserSession signedIn;
    ASSERT_EQ(SignIn(L"05512345678", L"abc123", signedIn).outcome, SignInOutcome::SignedIn);
    const auto cookieStored = [&] {
        wchar_t cookie[512] = {};
        DWORD size = std::size(cookie);
        return InternetGetCookieW((m_settings.appServer + L"/#").c_str(), nullptr, cookie, &size) &&
               std::wstring(cookie).find(SessionCookie()) != std::wstring::npos;
    };
    EXPECT_FALSE(cookieStored());
    m_window = std::make_unique<CVelmarinDlg>(m_settings, m_resources.get(), m_session);
    ASSERT_TRUE(m_window->Create(nullptr));
    HWND hwnd = m_window->GetSafeHwnd();
    EXPECT_EQ(GetDlgItem(hwnd, IDC_MAIN_VIEW), nullptr);
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_NE(m_window->TrayIconShown(), nullptr) << "the window showed before its tray icon";
    ASSERT_TRUE(PumpUntil([&] { return GetDlgItem(hwnd, IDC_MAIN_VIEW) != nullptr; }, 5000));
    RECT client, view;
    GetClientRect(hwnd, &client);
    GetClientRect(GetDlgItem(hwnd, IDC_MAIN_VIEW), &view);
    EXPECT_EQ(view.right, client.right);
    EXPECT_EQ(view.bottom, client.bottom);
    EXPECT_TRUE(cookieStored());
}

TEST_F(MainWindow, EnterAndEscapeLeaveItOpen) {
    HWND hwnd = Open();
    const HWND targets[] = {hwnd, GetDlgItem(hwnd, IDC_MAIN_VIEW)};
    for (HWND target : targets) {
        for (const WORD key : {VK_RETURN, VK_ESCAPE}) {
            SetFocus(target);
            PostMessageW(target, WM_KEYDOWN, key, 1);
            PostMessageW(target, WM_KEYUP, key, 0xC0000001);
            PumpFor(100);
            ASSERT_TRUE(IsWindow(hwnd)) << "key " << key;
            EXPECT_TRUE(IsWindowVisible(hwnd)) << "key " << key;
        }
    }
}

TEST_F(MainWindow, HotKeyOnlyWithAModifierAndAgainAfterThePlugIn) {
    Open();
    EXPECT_FALSE(HotKeyTaken(MOD_CONTROL, 'Q'));
    EXPECT_FALSE(HotKeyTaken(0, 'Q')) << "no modifier, no hot key";

    // The plug-in's dialog, worked from another thread: Control+Shift+9, then OK.
    std::atomic<bool> found{false};
    std::thread driver([&] {
        // Visible once its initialisation has filled it from the settings.
        HWND dialog = nullptr;
        for (int i = 0; i < 250 && !(dialog && IsWindowVisible(dialog)); ++i, Sleep(20)) {
            dialog = FindWindowW(L"#32770", L"设置");
        }
        found = dialog != nullptr && IsWindowVisible(dialog);
        if (!dialog) {
            return;
        }
        SendDlgItemMessageW(dialog, IDC_CONFIG_HOTKEY_ON, BM_SETCHECK, BST_CHECKED, 0);
        SendDlgItemMessageW(dialog, IDC_CONFIG_CTRL, BM_SETCHECK, BST_CHECKED, 0);
        SendDlgItemMessageW(dialog, IDC_CONFIG_SHIFT, BM_SETCHECK, BST_CHECKED, 0);
        SetDlgItemTextW(dialog, IDC_CONFIG_CODEKEY, L"9");
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    SendMessageW(m_window->GetSafeHwnd(), WM_COMMAND, ID_TRAY_SETTINGS, 0);
    driver.join();
    ASSERT_TRUE(found) << "the plug-in's dialog did not open";
    EXPECT_TRUE(g_boxes.seen.empty());
    EXPECT_EQ(m_settings.ctrlKey, 1);
    EXPECT_TRUE(HotKeyTaken(MOD_CONTROL | MOD_SHIFT, '9'));
    m_window.reset();
    EXPECT_FALSE(HotKeyTaken(MOD_CONTROL | MOD_SHIFT, '9')) << "the hot key outlived the window";
}

TEST_F(MainWindow, TheTrayIconBlinksUntilTheWindowIsActive) {
    HWND hwnd = Open();
    const HICON normal = m_window->TrayIconShown();
    ASSERT_NE(normal, nullptr);
    // Another window of this thread is active, as when the user works elsewhere.
    std::unique_ptr<HWND__, decltype(&DestroyWindow)> other(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                        nullptr),
        &DestroyWindow);
    SetActiveWindow(other.get());
    SendMessageW(hwnd, WM_START_TRAY_BLINK, 0, 0);
    constexpr UINT_PTR kBlinkTimer = 2;
    std::vector<HICON> shown;
    for (int i = 0; i < 4; ++i) {
        SendMessageW(hwnd, WM_TIMER, kBlinkTimer, 0);
        shown.push_back(m_window->TrayIconShown());
    }
    // The new-message and the normal icon take turns.
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_TRUE(shown[0] == normal || shown[1] == normal);
    EXPECT_EQ(shown[2], shown[0]);
    EXPECT_EQ(shown[3], shown[1]);

    // Once the window is active, the next tick stops the blink on the normal icon.
    if (shown[3] == normal) {
        SendMessageW(hwnd, WM_TIMER, kBlinkTimer, 0);
    }
    ASSERT_NE(m_window->TrayIconShown(), normal);
    SetActiveWindow(hwnd);
    SendMessageW(hwnd, WM_TIMER, kBlinkTimer, 0);
    EXPECT_EQ(m_window->TrayIconShown(), normal);
    EXPECT_FALSE(KillTimer(hwnd, kBlinkTimer)) << "the blink timer still runs";
}

// What the about box showed, read from inside its modal loop.
struct CAboutSeen {
    HWND owner = nullptr;
    bool found = false;
    bool programIcon = false;
    bool skinned = false;
    RECT box{}, ownerRect{};
};
CAboutSeen g_about;

void CALLBACK ReadAndCloseAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"关于 Velmarin");
    if (box == nullptr || GetWindow(box, GW_OWNER) != g_about.owner) {
        return;
    }
    KillTimer(nullptr, timer);
    g_about.found = true;
    // The dialog's own ICON control: empty unless the program carries icon 132.
    HWND iconControl = FindWindowExW(box, nullptr, L"Static", nullptr);
    for (; iconControl; iconControl = FindWindowExW(box, iconControl, L"Static", nullptr)) {
        if ((GetWindowLongW(iconControl, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            break;
        }
    }
    g_about.programIcon = iconControl && SendMessageW(iconControl, STM_GETICON, 0, 0) != 0 &&
                          SendMessageW(box, WM_GETICON, ICON_SMALL, 0) != 0;
    g_about.skinned = GetPropA(box, "SkinWndProp_SkinMenu") != nullptr;
    GetWindowRect(box, &g_about.box);
    GetWindowRect(g_about.owner, &g_about.ownerRect);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(MainWindow, AboutBoxFromTheSystemMenuIsSkinnedCentredAndShowsTheProgramIcon) {
    skintest::CTempFolder folder;
    skintest::CFrameTheme theme{folder};
    const std::string themePath = theme.Write(skintest::CFrameTheme::kButtonCount,
                                              skintest::CFrameTheme::CaptionButtons() +
                                                  "[Buttons]\r\nBitmap=button.bmp\r\nTopHeight=2\r\n");
    ASSERT_EQ(InitSkin(themePath.c_str()), 1);
    HWND hwnd = Open();
    SetWindowPos(hwnd, nullptr, 200, 150, 600, 420, SWP_NOZORDER);

    // The item the window adds to its system menu.
    HMENU systemMenu = GetSystemMenu(hwnd, FALSE);
    wchar_t item[64] = {};
    constexpr UINT kAboutCommand = 16;
    ASSERT_GT(GetMenuStringW(systemMenu, kAboutCommand, item, 64, MF_BYCOMMAND), 0);
    EXPECT_EQ(std::wstring(item), L"关于 Velmarin(&A)...");

    g_about = {};
    g_about.owner = hwnd;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadAndCloseAbout);
    PostMessageW(hwnd, WM_SYSCOMMAND, kAboutCommand, 0);
    EXPECT_TRUE(PumpUntil([] { return g_about.found && !FindWindowW(L"#32770", L"关于 Velmarin"); }));
    KillTimer(nullptr, timer);
    ReleaseSkin();
    InitSkin("");

    ASSERT_TRUE(g_about.found) << "no about box came up";
    EXPECT_TRUE(g_about.programIcon);
    EXPECT_TRUE(g_about.skinned);
    const auto centre = [](const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
    EXPECT_NEAR(centre(g_about.box).x, centre(g_about.ownerRect).x, 2);
    EXPECT_NEAR(centre(g_about.box).y, centre(g_about.ownerRect).y, 2);
}

} // namespace
