// The login dialog in this process, against the stand-in service: hints, the
// settings panel, the advertisement refresh, and a sign-in with its cookie.
#include "../core/devservice_fixture.h"
#include "app/login_dialog.h"
#include "app/login_settings_dialog.h"
#include "app/resource.h"
#include "framework/gdi.h"
#include "framework/gdiplus_session.h"
#include "settings/sms_setting.h"

#include <wininet.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 8000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

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
            if (hwnd != s.login && GetDlgItem(hwnd, IDC_SET_PASSWORD_LINK))
                s.found = hwnd;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class LoginDialog : public DevServiceTest {
protected:
    void SetUp() override {
        DevServiceTest::SetUp();
        if (IsSkipped())
            return;
        gdiplus = GdiplusStartupScoped();
        resources.reset(LoadLibraryW(L"res.dll"));
        ASSERT_TRUE(resources);
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = fs::path(temp) / (L"velmarin-login-" + std::to_wstring(GetTickCount64()));
        fs::create_directories(folder / L"ad");
        settings.appServer = base;
        settings.updServer = L"http://127.0.0.1:9";
        settings.updateInfo.version = settings.updateInfo.lastVersion = L"1.0.0.1";
    }
    void TearDown() override {
        DevServiceTest::TearDown();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::unique_ptr<CLoginDlg> Open() {
        auto dialog = std::make_unique<CLoginDlg>(settings, resources.get(), folder.wstring());
        EXPECT_TRUE(dialog->Create(nullptr));
        ShowWindow(dialog->GetSafeHwnd(), SW_SHOW);
        PumpUntil([] { return false; }, 50);
        return dialog;
    }
    void Click(HWND dialog, int id) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }

    unique_gdiplus_token gdiplus;
    unique_hmodule resources;
    fs::path folder;
    CSMSSetting settings{L"unused.dat"};
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
    settings.userInfo.userList = {L"05522222222", L"05511111111"};
    settings.userInfo.defaultUser = L"05522222222";
    settings.updateInfo.lastVersion = L"1.0.0.2";
    auto dialog = Open();
    HWND number = GetDlgItem(dialog->GetSafeHwnd(), IDC_LOGIN_NUMBER);
    EXPECT_EQ(Text(number), L"05522222222");
    EXPECT_EQ(SendMessageW(number, CB_GETCOUNT, 0, 0), 2);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog->GetSafeHwnd(), IDC_LOGIN_UPDATE)));
    EXPECT_STREQ(L"Velmarin登录", Text(dialog->GetSafeHwnd()).c_str());

    settings.updateInfo.lastVersion = settings.updateInfo.version;
    auto same = Open();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(same->GetSafeHwnd(), IDC_LOGIN_UPDATE)));
}

TEST_F(LoginDialog, SettingsPanelHangsBelowFollowsAndIsFilledOnce) {
    settings.appServer = DefaultServerAddress();
    settings.updServer = L"http://elsewhere.example:80";
    auto dialog = Open();
    HWND hwnd = dialog->GetSafeHwnd();
    HWND panel = FindPanel(hwnd);
    ASSERT_TRUE(panel);
    EXPECT_FALSE(IsWindowVisible(panel));

    Click(hwnd, IDC_LOGIN_SETTINGS);
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
    settings.updServer = base;
    const fs::path current = folder / L"ad" / L"loginad.gif";
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return !settings.updateInfo.adTime.empty(); }));
        EXPECT_EQ(settings.updateInfo.adTime, L"2024-01-01 00:00:00");
        EXPECT_TRUE(fs::exists(current));
        int dated = 0;
        for (const auto& entry : fs::directory_iterator(folder / L"ad")) {
            const std::wstring name = entry.path().filename().wstring();
            dated += name.size() == 20 && name.rfind(L"loginad_20", 0) == 0;
        }
        EXPECT_EQ(dated, 1) << "one dated copy, loginad_YYYYMMDD.gif";
    }
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder / L"ad"))
        fs::remove(entry.path(), ignored);

    // The same Last-Modified again: the download is refused and nothing is written.
    {
        auto dialog = Open();
        ASSERT_TRUE(PumpUntil([&] { return AdsEnded() == 2; }));
        PumpUntil([] { return false; }, 300);
        EXPECT_FALSE(fs::exists(current));
    }
    // A new picture is fetched again.
    ASSERT_TRUE(Control(L"ad", R"({"touch": true})"));
    auto dialog = Open();
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(current); }));
    EXPECT_NE(settings.updateInfo.adTime, L"2024-01-01 00:00:00");
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
        if (GetDlgCtrlID(child) == IDC_LOGIN_NUMBER) // the drop-down list's height is not on show
            rect.bottom = rect.top + 12 * units.bottom / 8;
        for (const int unitHeight : {static_cast<int>(units.bottom), 12}) {
            const auto y = [&](LONG pixels) { return MulDiv(pixels, unitHeight, units.bottom); };
            for (const POINT corner :
                 {POINT{rect.left, y(rect.top)}, POINT{rect.right - 1, y(rect.top)},
                  POINT{rect.left, y(rect.bottom) - 1}, POINT{rect.right - 1, y(rect.bottom) - 1}})
                EXPECT_TRUE(PtInRegion(shape.get(), corner.x, corner.y))
                    << "control " << GetDlgCtrlID(child) << " at " << corner.x << "," << corner.y << " with "
                    << unitHeight << "-pixel units";
        }
    }
}

TEST_F(LoginDialog, LoginButtonSignsInRemembersAndFillsTheCookieStore) {
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
    EXPECT_EQ(settings.autoLogin, 1);
    EXPECT_EQ(settings.userInfo.defaultPassword, L"abc123");
    EXPECT_EQ(settings.userInfo.userList, std::vector<std::wstring>{L"05512345678"});

    wchar_t cookie[512] = {};
    DWORD size = std::size(cookie);
    ASSERT_TRUE(InternetGetCookieW((base + L"/#").c_str(), nullptr, cookie, &size));
    EXPECT_NE(std::wstring(cookie).find(SessionCookie()), std::wstring::npos) << cookie;
    EXPECT_EQ(SessionCookie().rfind(L"ASP.NET_SessionId=", 0), 0u);
}

TEST_F(LoginDialog, AutoLoginEndsBeforeTheDialogShows) {
    settings.autoLogin = 1;
    settings.userInfo.defaultUser = L"01087654321";
    settings.userInfo.defaultPassword = L"密码123";
    CLoginDlg dialog(settings, resources.get(), folder.wstring());
    EXPECT_EQ(dialog.DoModal(), kLoginSignedIn);
    EXPECT_EQ(dialog.Session().userNumber, L"01087654321");
    EXPECT_FALSE(dialog.Session().sessionId.empty());
    // Auto-login remembers nothing new.
    EXPECT_TRUE(settings.userInfo.userList.empty());
}

} // namespace
