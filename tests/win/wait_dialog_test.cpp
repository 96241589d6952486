// The wait window: found by its title, painted in its own colour, animating.
#include "framework/gdi.h"
#include "framework/gdiplus_session.h"
#include "pump_until.h"
#include "signin/signin_resource.h"
#include "signin/wait_dialog.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The window's own pixels, painted into a bitmap of ours.
COLORREF PixelAt(HWND hwnd, int x, int y) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    HDC screen = GetDC(nullptr);
    unique_hdc memory(CreateCompatibleDC(screen));
    unique_hbitmap bitmap(CreateCompatibleBitmap(screen, rect.right - rect.left, rect.bottom - rect.top));
    ReleaseDC(nullptr, screen);
    unique_select_object select(memory.get(), bitmap.get());
    PrintWindow(hwnd, memory.get(), 0);
    return GetPixel(memory.get(), x, y);
}

TEST(WaitDialog, IsFoundByItsTitleAndAnimatesOnItsOwnColour) {
    unique_gdiplus_token gdiplus = GdiplusStartupScoped();
    unique_hmodule resources(LoadLibraryW(L"res.dll"));
    ASSERT_TRUE(resources);
    CWaitDlg wait(resources.get());
    ASSERT_TRUE(wait.Create(nullptr));
    SetWindowTextW(wait.GetSafeHwnd(), kWaitWindowTitle);
    ShowWindow(wait.GetSafeHwnd(), SW_SHOWNOACTIVATE);
    PumpFor(100);
    EXPECT_EQ(FindWindowW(nullptr, L"loading"), wait.GetSafeHwnd());
    EXPECT_EQ(GetWindowLongPtrW(wait.GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);

    EXPECT_EQ(PixelAt(wait.GetSafeHwnd(), 3, 3), RGB(225, 238, 254));
    HWND animation = GetDlgItem(wait.GetSafeHwnd(), IDC_WAIT_ANIMATION);
    EXPECT_NE(GetPropW(animation, L"PicEx_Prop"), nullptr) << "the picture control took the frame";
    RECT frame;
    GetClientRect(animation, &frame);
    // The animation changes what the frame shows on the screen (the control
    // paints itself on WM_PAINT only, so it is read from there).
    SetWindowPos(wait.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    std::vector<unsigned long> seen;
    for (int i = 0; i < 12 && seen.size() < 2; ++i) {
        RECT onScreen = frame;
        MapWindowPoints(animation, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
        HDC screen = GetDC(nullptr);
        unsigned long sum = 0;
        for (int x = onScreen.left; x < onScreen.right; x += 3) {
            sum += GetPixel(screen, x, (onScreen.top + onScreen.bottom) / 2);
        }
        ReleaseDC(nullptr, screen);
        if (seen.empty() || seen.back() != sum) {
            seen.push_back(sum);
        }
        PumpFor(120);
    }
    EXPECT_GE(seen.size(), 2u) << "the wait animation never moved";

    DestroyWindow(wait.GetSafeHwnd());
    EXPECT_EQ(GetPropW(animation, L"PicEx_Prop"), nullptr);
}

} // namespace
