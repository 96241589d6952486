// The tray icon under Wine's own notification area ("Wine System Tray", one
// child window per icon when the display has no tray of its own).
#include "session/notice_resource.h"
#include "session/tray_icon.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

int TrayIcons() {
    int count = 0;
    if (HWND tray = FindWindowW(nullptr, L"Wine System Tray")) {
        EnumChildWindows(
            tray, [](HWND, LPARAM counter) { return ++*reinterpret_cast<int*>(counter), TRUE; },
            reinterpret_cast<LPARAM>(&count));
    }
    return count;
}

// The owner window records the commands it gets.
class TrayIcon : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        s_resources = LoadLibraryW(L"res.dll");
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_COMMAND) {
                s_commands.push_back(LOWORD(wParam));
            }
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        windowClass.lpszClassName = L"TrayIconTestOwner";
        RegisterClassW(&windowClass);
        s_owner = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    }
    static void TearDownTestSuite() {
        DestroyWindow(s_owner);
        FreeLibrary(s_resources);
    }

protected:
    void SetUp() override { ASSERT_TRUE(s_resources && s_owner); }
    // 120 offline, 121 normal, 133 new message.
    static HICON Icon(WORD id) {
        return static_cast<HICON>(
            LoadImageW(s_resources, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_SHARED));
    }

    static inline HMODULE s_resources = nullptr;
    static inline HWND s_owner = nullptr;
    static inline std::vector<WORD> s_commands;
};

TEST_F(TrayIcon, LeavesNoIconBehindAndComesBackAfterTheShellForgotIt) {
    {
        CTrayIcon tray;
        EXPECT_FALSE(tray.Create(nullptr, Icon(121)));
        ASSERT_TRUE(tray.Create(s_owner, Icon(121)));
        EXPECT_TRUE(tray.SetIcon(Icon(133)));
        EXPECT_TRUE(tray.Create(s_owner, Icon(121)));
        EXPECT_EQ(TrayIcons(), 1) << "a change or a second Create keeps one icon";

        // A restarted shell knows nothing of the icon.
        NOTIFYICONDATAW forgotten{};
        forgotten.cbSize = sizeof(forgotten);
        forgotten.hWnd = s_owner;
        forgotten.uID = CTrayIcon::kIconId;
        ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &forgotten));
        EXPECT_TRUE(tray.Restore());
        EXPECT_TRUE(tray.Restore()) << "a shell that still has it";
        EXPECT_EQ(TrayIcons(), 1);
        EXPECT_EQ(tray.CurrentIcon(), Icon(121));

        tray.Remove();
        EXPECT_FALSE(tray.Restore()) << "a removed icon stays away";
        EXPECT_EQ(TrayIcons(), 0);
        ASSERT_TRUE(tray.Create(s_owner, Icon(121)));
    }
    EXPECT_EQ(TrayIcons(), 0) << "the destructor removes the icon";
}

// The heartbeat worker and the blink timer change the icon at once.
TEST_F(TrayIcon, IconChangesFromTwoThreadsStayConsistent) {
    CTrayIcon tray;
    ASSERT_TRUE(tray.Create(s_owner, Icon(121)));
    const HICON offline = Icon(120), newMessage = Icon(133);
    auto change = [&](HICON icon) {
        for (int i = 0; i < 300; ++i) {
            const bool changed = tray.SetIcon(icon);
            const HICON now = tray.CurrentIcon();
            if (!changed || (now != offline && now != newMessage)) {
                return false;
            }
        }
        return true;
    };
    bool workerOk = false;
    std::thread worker([&] { workerOk = change(offline); });
    EXPECT_TRUE(change(newMessage));
    worker.join();
    EXPECT_TRUE(workerOk);
    EXPECT_EQ(TrayIcons(), 1);
}

// Runs in the menu's own loop: reads the open menu, then picks "退出(&X)" by its key.
struct MenuProbe {
    static inline UINT s_defaultItem = 0;
    static inline HWND s_foreground = nullptr;
    static inline int s_ticks = 0;

    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
        if (++s_ticks > 50) {
            EndMenu(); // never leave the test hanging in the menu
        }
        HWND menuWindow = FindWindowW(L"#32768", nullptr);
        if (!menuWindow || !IsWindowVisible(menuWindow) || s_defaultItem) {
            return;
        }
        auto menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        s_defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
        s_foreground = GetForegroundWindow();
        PostMessageW(menuWindow, WM_CHAR, L'x', 0);
    }
};

TEST_F(TrayIcon, MouseNotificationsReachTheOwner) {
    CTrayIcon tray;
    ASSERT_TRUE(tray.Create(s_owner, Icon(121)));
    s_commands.clear();
    EXPECT_EQ(tray.OnTrayNotification(CTrayIcon::kIconId + 1, WM_LBUTTONDBLCLK), 0) << "another icon's";
    EXPECT_EQ(tray.OnTrayNotification(CTrayIcon::kIconId, WM_MOUSEMOVE), 1);
    EXPECT_EQ(tray.OnTrayNotification(CTrayIcon::kIconId, WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(s_commands, std::vector<WORD>{ID_TRAY_SHOW});

    s_commands.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, MenuProbe::OnTick);
    EXPECT_EQ(tray.OnTrayNotification(CTrayIcon::kIconId, WM_RBUTTONUP), 1);
    KillTimer(nullptr, timer);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(MenuProbe::s_defaultItem, static_cast<UINT>(ID_TRAY_SHOW)) << "shown in bold";
    EXPECT_EQ(MenuProbe::s_foreground, s_owner);
    EXPECT_EQ(s_commands, std::vector<WORD>{ID_TRAY_EXIT}) << "the chosen item";
}

} // namespace
