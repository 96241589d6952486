// The main window's private messages from the heartbeat carry no pointer: a
// sender on another thread that forges one (as another program would) gets
// nothing read through it and the window lives on.
#include "framework/com.h"
#include "pump_until.h"
#include "session/main_window.h"
#include "settings/sms_setting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(MainWindowMessages, ForgedPointersInTheHeartbeatsMessagesAreNeverRead) {
    auto ole = OleInitializeScoped();
    ASSERT_TRUE(ole);
    CSMSSetting settings(L"unused.dat");
    CSessionRecord session;
    CVelmarinDlg window(settings, nullptr, session);
    ASSERT_TRUE(window.Create());
    const HWND hwnd = window.GetSafeHwnd();

    // Addresses that point nowhere, or into the middle of nothing in particular.
    const LPARAM forged[] = {0x10, static_cast<LPARAM>(0xDEADBEEF), -1};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (LPARAM value : forged) {
            SendMessageW(hwnd, WM_CALL_SCRIPT, static_cast<WPARAM>(value), value);
            SendMessageW(hwnd, WM_NAVIGATE_URL, 0, value);
        }
        done = true;
    });
    PumpUntil([&] { return done.load(); }, INFINITE);
    sender.join();
    // The same from this thread, and the window lives on.
    for (LPARAM value : forged) {
        EXPECT_EQ(SendMessageW(hwnd, WM_CALL_SCRIPT, static_cast<WPARAM>(value), value), 0);
    }
    EXPECT_TRUE(IsWindow(hwnd));
    DestroyWindow(hwnd);
}

} // namespace
