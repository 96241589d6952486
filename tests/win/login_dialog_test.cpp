// The login dialog in this process, against the stand-in service: hints, the
// settings panel, the advertisement refresh, and a sign-in with its cookie.
#include "../core/devservice_fixture.h"
#include "framework/gdi.h"
#include "framework/gdiplus_session.h"
#include "pump_until.h"
#include "settings/sms_setting.h"
#include "signin/login_dialog.h"
#include "signin/login_settings_dialog.h"
#include "signin/signin_resource.h"
#include "signin/wait_dialog.h"

#include <uxtheme.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::wstring Text(HWND hwnd) {
    std::vector<wchar_t> text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1);
    GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// The login settings panel: this thread's other visible dialog.
HWND FindPanel(HWND login) {
    struct Search {
        HWND login;
        HWND found = nullptr;
    } search{login};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lParam) {
            auto& s = *reinterpret_cast<Search*>(lParam);
            if (hwnd != s.login && GetDlgItem(hwnd, IDC_SET_PASSWORD_LINK)) {
                s.found = hwnd;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The panel is made by the first toggle, not before: a sign-in pressed at
// once never waits for it. Opens it.
HWND OpenPanel(HWND login) {
    PumpFor(300);
    if (FindPanel(login)) {
        return nullptr;
    }
    SendMessageW(login, WM_COMMAND, MAKEWPARAM(IDC_LOGIN_SETTINGS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(login, IDC_LOGIN_SETTINGS)));
    return FindPanel(login);
}

// Answers each message box of this thread with OK and records "caption|text".
std::vector<std::wstring> g_boxes;

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    wchar_t text[256] = {};
    // The dialog and its panel have no owner; the boxes belong to the dialog.
    if (code == HCBT_ACTIVATE && GetClassNameW(box, text, 256) && std::wstring(text) == L"#32770" &&
        GetWindow(box, GW_OWNER) && GetDlgItem(box, 0xFFFF)) {
        GetWindowTextW(box, text, 256);
        GetDlgItemTextW(box, 0xFFFF, text + wcslen(text) + 1, 100);
        g_boxes.push_back(std::wstring(text) + L"|" + (text + wcslen(text) + 1));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Presses a key on the focused window the way the keyboard would: queued, so
// that it meets the dialogs' pre-translation.
void PressKey(WORD key) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    PumpFor(100);
}

// Counts the system's window moves started on this thread.
int g_moves = 0;

LRESULT CALLBACK CountMoves(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lParam)->message == WM_ENTERSIZEMOVE) {
        ++g_moves;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The darkest shade on the screen in the control's rectangle, from skipLeft
// pixels on, the dialog on top: its text's colour where a stroke covers a
// whole pixel (smoothed edges are lighter, never darker).
int Darkest(HWND dialog, HWND control, int skipLeft = 0) {
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(100);
    RECT rect;
    GetClientRect(control, &rect);
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    unique_hdc memory(CreateCompatibleDC(screen));
    unique_hbitmap bitmap(CreateCompatibleBitmap(screen, width, height));
    {
        unique_select_object select(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    }
    ReleaseDC(nullptr, screen);
    unique_select_object select(memory.get(), bitmap.get());
    int darkest = 255;
    for (int y = 0; y < height; ++y) {
        for (int x = skipLeft; x < width; ++x) {
            const COLORREF c = GetPixel(memory.get(), x, y);
            darkest =
                std::min(darkest, static_cast<int>(std::max({GetRValue(c), GetGValue(c), GetBValue(c)})));
        }
    }
    return darkest;
}

// The program's manifest, common controls 6 with it, for the windows made
// while the object lives.
class CProgramManifest {
public:
    CProgramManifest() {
        wchar_t exe[MAX_PATH];
        const std::wstring program =
            (fs::path(std::wstring(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH))).parent_path() /
             L"Velmarin.exe")
                .wstring();
        ACTCTXW context{};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.lpSource = program.c_str();
        context.lpResourceName = MAKEINTRESOURCEW(1);
        m_context = CreateActCtxW(&context);
        if (m_context != INVALID_HANDLE_VALUE && !ActivateActCtx(m_context, &m_cookie)) {
            m_cookie = 0;
        }
    }
    ~CProgramManifest() {
        if (m_cookie) {
            DeactivateActCtx(0, m_cookie);
        }
        if (m_context != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(m_context);
        }
    }
    CProgramManifest(const CProgramManifest&) = delete;
    CProgramManifest& operator=(const CProgramManifest&) = delete;
    bool Active() const { return m_cookie != 0; }

private:
    HANDLE m_context = INVALID_HANDLE_VALUE;
    ULONG_PTR m_cookie = 0;
};

class LoginDialog : public DevServiceTest {
protected:
    void SetUp() override {
        DevServiceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_gdiplus = GdiplusStartupScoped();
        m_resources.reset(LoadLibraryW(L"res.dll"));
        ASSERT_TRUE(m_resources);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_folder = fs::path(temp) / (L"velmarin-login-" + std::to_wstring(GetTickCount64()));
        fs::create_directories(m_folder / L"ad");
        m_settings.appServer = m_base;
        m_settings.updServer = L"http://127.0.0.1:9";
        m_settings.updateInfo.version = m_settings.updateInfo.lastVersion = L"1.0.0.1";
    }
    void TearDown() override {
        DevServiceTest::TearDown();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    std::unique_ptr<CLoginDlg> Open() {
        auto dialog = std::make_unique<CLoginDlg>(m_settings, m_resources.get(), m_folder.wstring());
        EXPECT_TRUE(dialog->Create(nullptr));
        ShowWindow(dialog->GetSafeHwnd(), SW_SHOW);
        PumpFor(50);
        return dialog;
    }
    void Click(HWND dialog, int id) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }

    unique_gdiplus_token m_gdiplus;
    unique_hmodule m_resources;
    fs::path m_folder;
    CSMSSetting m_settings{L"unused.dat"};
};

TEST_F(LoginDialog, HintsFollowTheFocus) {
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    HWND number = GetDlgItem(hwnd, IDC_LOGIN_NUMBER);
    HWND password = GetDlgItem(hwnd, IDC_LOGIN_PASSWORD);

    SetFocus(password);
    EXPECT_EQ(Text(number), L"请输入带区号号码") << "an empty number box shows its hint again";
    EXPECT_EQ(Text(password), L"");
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), L'*');

    SetFocus(number);
    EXPECT_EQ(Text(number), L"");
    EXPECT_EQ(Text(password), L"请输入密码");
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), 0) << "the hint is shown in plain characters";

    // Typed text is never taken for a hint.
    SetWindowTextW(number, L"05512345678");
    SetFocus(password);
    SetWindowTextW(password, L"pw");
    SetFocus(number);
    EXPECT_EQ(Text(number), L"05512345678");
    EXPECT_EQ(Text(password), L"pw");
}

TEST_F(LoginDialog, RemembersNumbersAndShowsTheUpdateNoticeOnlyForAnotherVersion) {
    m_settings.userInfo.userList = {L"05522222222", L"05511111111"};
    m_settings.userInfo.defaultUser = L"05522222222";
    m_settings.updateInfo.lastVersion = L"1.0.0.2";
    auto dialog = Open();
    HWND number = GetDlgItem(dialog->GetSafeHwnd(), IDC_LOGIN_NUMBER);
    EXPECT_EQ(Text(number), L"05522222222");
    EXPECT_EQ(SendMessageW(number, CB_GETCOUNT, 0, 0), 2);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog->GetSafeHwnd(), IDC_LOGIN_UPDATE)));
    EXPECT_STREQ(L"Velmarin登录", Text(dialog->GetSafeHwnd()).c_str());

    m_settings.updateInfo.lastVersion = m_settings.updateInfo.version;
    auto same = Open();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(same->GetSafeHwnd(), IDC_LOGIN_UPDATE)));
}

TEST_F(LoginDialog, SettingsPanelHangsBelowFollowsAndIsFilledOnce) {
    m_settings.appServer = DefaultServerAddress();
    m_settings.updServer = L"http://elsewhere.example:80";
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    HWND panel = OpenPanel(hwnd);
    ASSERT_TRUE(panel) << "no panel, or one made before it was asked for";
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_EQ(Text(GetDlgItem(hwnd, IDC_LOGIN_SETTINGS)), L"设置↑");
    auto expectBelow = [&] {
        RECT login, below, shape;
        GetWindowRect(hwnd, &login);
        GetWindowRect(panel, &below);
        ASSERT_NE(GetWindowRgnBox(hwnd, &shape), ERROR);
        EXPECT_EQ(below.left, login.left);
        EXPECT_EQ(below.right - below.left, login.right - login.left);
        EXPECT_EQ(below.top, login.top + shape.bottom);
    };
    expectBelow();
    SetWindowPos(hwnd, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    expectBelow();

    // The default server is selected where the settings name it, nothing elsewhere.
    CLoginSetDlg* settingsWindow = static_cast<CLoginSetDlg*>(CWindow::FromHandle(panel));
    ASSERT_NE(settingsWindow, nullptr);
    EXPECT_EQ(settingsWindow->AppServerText(), DefaultServerAddress());
    EXPECT_EQ(settingsWindow->UpdServerText(), L"");

    Click(hwnd, IDC_LOGIN_SETTINGS);
    EXPECT_FALSE(IsWindowVisible(panel));
    EXPECT_EQ(Text(GetDlgItem(hwnd, IDC_LOGIN_SETTINGS)), L"设置↓");
    Click(hwnd, IDC_LOGIN_SETTINGS);
    EXPECT_EQ(SendMessageW(GetDlgItem(panel, IDC_SET_APPSERVER), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(GetDlgItem(panel, IDC_SET_UPDSERVER), CB_GETCOUNT, 0, 0), 1);

    // Closing the dialog takes the panel with it.
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(panel));
}

TEST_F(LoginDialog, AdvertisementIsRefreshedOnlyWhenItsTimeChanged) {
    m_settings.updServer = m_base;
    const fs::path current = m_folder / L"ad" / L"loginad.gif";
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return !m_settings.updateInfo.adTime.empty(); }));
        EXPECT_EQ(m_settings.updateInfo.adTime, L"2024-01-01 00:00:00");
        EXPECT_TRUE(fs::exists(current));
        int dated = 0;
        for (const auto& entry : fs::directory_iterator(m_folder / L"ad")) {
            const std::wstring name = entry.path().filename().wstring();
            dated += name.size() == 20 && name.rfind(L"loginad_20", 0) == 0;
        }
        EXPECT_EQ(dated, 1) << "one dated copy, loginad_YYYYMMDD.gif";
    }
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(m_folder / L"ad")) {
        fs::remove(entry.path(), ignored);
    }

    // The same Last-Modified again: the download is refused and nothing is written.
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return AdsEnded() == 2; }));
        PumpFor(300);
        EXPECT_FALSE(fs::exists(current));
    }
    // A new picture is fetched again.
    ASSERT_TRUE(Control(L"ad", R"({"touch": true})"));
    auto dialog = Open();
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(current); }));
    EXPECT_NE(m_settings.updateInfo.adTime, L"2024-01-01 00:00:00");
}

// The dialog's units come out 6 x 13 pixels here and 6 x 12 on Windows with
// 9-point 宋体: every control must lie inside the shape in both.
TEST_F(LoginDialog, EveryControlLiesInsideTheShape) {
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    RECT units{0, 0, 4, 8};
    MapDialogRect(hwnd, &units);
    unique_hrgn shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(hwnd, shape.get()), ERROR);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rect), 2);
        if (GetDlgCtrlID(child) == IDC_LOGIN_NUMBER) { // the drop-down list's height is not on show
            rect.bottom = rect.top + 12 * units.bottom / 8;
        }
        for (const int unitHeight : {static_cast<int>(units.bottom), 12}) {
            const auto y = [&](LONG pixels) { return MulDiv(pixels, unitHeight, units.bottom); };
            for (const POINT corner :
                 {POINT{rect.left, y(rect.top)}, POINT{rect.right - 1, y(rect.top)},
                  POINT{rect.left, y(rect.bottom) - 1}, POINT{rect.right - 1, y(rect.bottom) - 1}}) {
                EXPECT_TRUE(PtInRegion(shape.get(), corner.x, corner.y))
                    << "control " << GetDlgCtrlID(child) << " at " << corner.x << "," << corner.y << " with "
                    << unitHeight << "-pixel units";
            }
        }
    }
}

TEST_F(LoginDialog, LoginButtonSignsInRemembersAndTakesTheSessionCookie) {
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    SetWindowTextW(GetDlgItem(hwnd, IDC_LOGIN_NUMBER), L"05512345678");
    SetWindowTextW(GetDlgItem(hwnd, IDC_LOGIN_PASSWORD), L"abc123");
    CheckDlgButton(hwnd, IDC_LOGIN_AUTO, BST_CHECKED);
    Click(hwnd, IDC_LOGIN_OK);
    EXPECT_FALSE(IsWindow(hwnd)) << "a signed-in dialog ends";

    const CUserSession& session = dialog->Session();
    EXPECT_EQ(session.userNumber, L"05512345678");
    EXPECT_EQ(session.password, L"abc123");
    EXPECT_FALSE(session.sessionId.empty());
    EXPECT_FALSE(session.skey.empty());
    EXPECT_EQ(m_settings.autoLogin, 1);
    EXPECT_EQ(m_settings.userInfo.defaultPassword, L"abc123");
    EXPECT_EQ(m_settings.userInfo.userList, std::vector<std::wstring>{L"05512345678"});

    // The browser's cookie store gets it with the main window's view.
    EXPECT_EQ(SessionCookie().rfind(L"ASP.NET_SessionId=", 0), 0u);
}

TEST_F(LoginDialog, AutoLoginEndsBeforeTheDialogShows) {
    m_settings.autoLogin = 1;
    m_settings.userInfo.defaultUser = L"01087654321";
    m_settings.userInfo.defaultPassword = L"密码123";
    CLoginDlg dialog(m_settings, m_resources.get(), m_folder.wstring());
    EXPECT_EQ(dialog.DoModal(), kLoginSignedIn);
    EXPECT_EQ(dialog.Session().userNumber, L"01087654321");
    EXPECT_FALSE(dialog.Session().sessionId.empty());
    // Auto-login remembers nothing new.
    EXPECT_TRUE(m_settings.userInfo.userList.empty());
}

TEST_F(LoginDialog, BothHintsShowUntilTheUserEntersABox) {
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    HWND number = GetDlgItem(hwnd, IDC_LOGIN_NUMBER);
    HWND password = GetDlgItem(hwnd, IDC_LOGIN_PASSWORD);
    EXPECT_EQ(Text(number), L"请输入带区号号码");
    EXPECT_EQ(Text(password), L"请输入密码");
    EXPECT_EQ(GetFocus(), GetDlgItem(hwnd, IDC_LOGIN_OK));

    // Tab from the login button goes round to the number box, which drops its hint.
    SetFocus(number);
    EXPECT_EQ(Text(number), L"");
    EXPECT_EQ(Text(password), L"请输入密码");
}

TEST_F(LoginDialog, HintTypedTextAndLabelsHaveTheirColours) {
    std::unique_ptr<CLoginDlg> dialog;
    {
        // The themed controls of the program, which draw text in their own colours.
        CProgramManifest manifest;
        ASSERT_TRUE(manifest.Active());
        dialog = Open();
    }
    ASSERT_TRUE(IsThemeActive()) << "without visual styles the check box's colour proves nothing";
    HWND hwnd = dialog->GetSafeHwnd();
    HWND number = GetDlgItem(hwnd, IDC_LOGIN_NUMBER);
    HWND password = GetDlgItem(hwnd, IDC_LOGIN_PASSWORD);
    // Text of 200 grey, 85 grey or black: smoothed edges only ever lighter.
    const int hint = Darkest(hwnd, password);
    EXPECT_GE(hint, 200);
    EXPECT_LT(hint, 240) << "no hint drawn";

    SetFocus(password);
    SetWindowTextW(password, L"secret");
    SetFocus(number);
    SetWindowTextW(number, L"05512345678");
    SetFocus(GetDlgItem(hwnd, IDC_LOGIN_OK)); // no caret in the box
    EXPECT_LT(Darkest(hwnd, number), 64) << "typed text is black";

    HWND label = FindWindowExW(hwnd, nullptr, L"Static", L"用户号码");
    ASSERT_TRUE(label);
    const int labelInk = Darkest(hwnd, label);
    EXPECT_GE(labelInk, 80);
    EXPECT_LE(labelInk, 90);
    // Windows' own visual styles draw a themed check box's text in the theme's
    // colour, whatever WM_CTLCOLORSTATIC says; Wine's follows the colour given,
    // so here the box's text shows only that it is never darker than the grey.
    EXPECT_NE(GetWindowTheme(number), nullptr) << "the manifest's themed controls are not in use";
    EXPECT_GE(Darkest(hwnd, GetDlgItem(hwnd, IDC_LOGIN_AUTO), GetSystemMetrics(SM_CXMENUCHECK) + 2), 80);
}

TEST_F(LoginDialog, EnterInThePanelKeepsItAndTheLoginUsesItsServers) {
    m_settings.updServer = L"http://127.0.0.1:9";
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    HWND panel = OpenPanel(hwnd);
    ASSERT_TRUE(panel);
    for (const int list : {IDC_SET_APPSERVER, IDC_SET_UPDSERVER}) {
        HWND combo = GetDlgItem(panel, list);
        ASSERT_EQ(SendMessageW(combo, CB_SETCURSEL, 0, 0), 0);
        SetFocus(combo);
        PressKey(VK_RETURN);
        PressKey(VK_ESCAPE);
        ASSERT_TRUE(IsWindow(panel)) << "Enter or Escape in list " << list << " ended the panel";
        EXPECT_TRUE(IsWindowVisible(panel));
    }

    // The chosen server does not answer: the login fails, and the choice stays.
    SetWindowTextW(GetDlgItem(hwnd, IDC_LOGIN_NUMBER), L"05512345678");
    SetWindowTextW(GetDlgItem(hwnd, IDC_LOGIN_PASSWORD), L"abc123");
    g_boxes.clear();
    {
        unique_hhook answer(SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId()));
        Click(hwnd, IDC_LOGIN_OK);
    }
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L"登录|发送失败，请检查网络!"});
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(m_settings.appServer, DefaultServerAddress());
    EXPECT_EQ(m_settings.updServer, DefaultServerAddress());
}

TEST_F(LoginDialog, ReplacesTheAdvertisementOnShowAndSurvivesFailedRefreshes) {
    m_settings.updServer = m_base;
    const fs::path ad = m_folder / L"ad";
    const fs::path current = ad / L"loginad.gif";
    // An old picture on show, then the service's new one over it.
    ASSERT_TRUE(Control(L"ad", R"({"touch": true})"));
    std::error_code ignored;
    {
        auto first = Open();
        ASSERT_TRUE(PumpUntil([&] { return fs::exists(current); }));
    }
    const std::wstring firstTime = m_settings.updateInfo.adTime;
    fs::rename(current, m_folder / L"old.gif");
    for (const auto& entry : fs::directory_iterator(ad)) {
        fs::remove(entry.path(), ignored);
    }
    fs::copy_file(m_folder / L"old.gif", current);
    ASSERT_TRUE(Control(L"ad", R"({"touch": true})"));
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return m_settings.updateInfo.adTime != firstTime; }));
        EXPECT_NE(fs::file_size(current), 0u);
        HWND picture = GetDlgItem(dialog->GetSafeHwnd(), IDC_LOGIN_AD);
        EXPECT_NE(GetPropW(picture, L"PicEx_Prop"), nullptr) << "the picture control still shows";
    }

    // No ad folder: nothing is written and the time stays for another try.
    m_settings.updateInfo.adTime.clear();
    fs::remove_all(ad, ignored);
    ASSERT_TRUE(Control(L"ad", R"({"touch": true})"));
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return AdsEnded() >= 3; }));
        PumpFor(300);
        EXPECT_EQ(m_settings.updateInfo.adTime, L"");
    }

    // A copy that fails (the current picture cannot be replaced): the time is not kept.
    fs::create_directories(current);
    ASSERT_TRUE(Control(L"ad", R"({"touch": true})"));
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return AdsEnded() >= 4; }));
        PumpFor(300);
        EXPECT_EQ(m_settings.updateInfo.adTime, L"");
        int dated = 0;
        for (const auto& entry : fs::directory_iterator(ad)) {
            dated += entry.path().filename().wstring().rfind(L"loginad_", 0) == 0;
        }
        EXPECT_EQ(dated, 1) << "the dated copy was written";
    }
}

TEST_F(LoginDialog, AdvertisementWithoutATimeIsFetchedAtEveryStart) {
    m_settings.updServer = m_base;
    ASSERT_TRUE(Control(L"ad", R"({"last_modified": false})"));
    const fs::path current = m_folder / L"ad" / L"loginad.gif";
    for (int start = 0; start < 2; ++start) {
        std::error_code ignored;
        fs::remove(current, ignored);
        auto dialog = Open();
        EXPECT_TRUE(PumpUntil([&] { return fs::exists(current); })) << "start " << start;
    }
    ASSERT_TRUE(Control(L"ad", R"({"last_modified": true})"));
}

TEST_F(LoginDialog, TopStripDragsAndTheMinimiseButtonMinimises) {
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    RECT before, after;
    GetWindowRect(hwnd, &before);
    // A press in the strip hands the move to the system, which follows the mouse
    // until the button is up: that is queued already, so the move ends at once.
    const std::pair<int, bool> presses[] = {{5, true}, {40, false}};
    for (const auto& [y, drags] : presses) {
        g_moves = 0;
        unique_hhook hook(SetWindowsHookExW(WH_CALLWNDPROC, CountMoves, nullptr, GetCurrentThreadId()));
        PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(100, y));
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, y));
        PumpFor(50);
        EXPECT_EQ(g_moves > 0, drags) << "a press at y " << y;
    }
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(after.left, before.left);

    Click(hwnd, IDC_LOGIN_MINIMIZE);
    EXPECT_TRUE(IsIconic(hwnd));
}

TEST(WaitDialogKeys, EnterAndEscapeLeaveTheWaitWindowOpen) {
    CWaitDlg wait(nullptr);
    ASSERT_TRUE(wait.Create(nullptr));
    ShowWindow(wait.GetSafeHwnd(), SW_SHOW);
    SetFocus(wait.GetSafeHwnd());
    for (const WORD key : {VK_RETURN, VK_ESCAPE}) {
        PressKey(key);
        EXPECT_TRUE(IsWindow(wait.GetSafeHwnd())) << "key " << key;
    }
}

} // namespace
