#include "framework/window.h"
#include "skin/skin.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;

constexpr int kFirstButton = 11, kSecondButton = 12, kLabel = 13, kNoSuchControl = 99;
constexpr char kSkinMenuProperty[] = "SkinWndProp_SkinMenu";

// A dialog-like window with two push buttons and a static text.
struct CTestDialog {
    CTestDialog() : window(std::make_unique<CRecordingWindow>()) {
        for (int id : {kFirstButton, kSecondButton}) {
            CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE, 10, 10 + 30 * (id - kFirstButton), 60,
                            24, window->hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                            nullptr);
        }
        CreateWindowExW(0, L"STATIC", L"label", WS_CHILD | WS_VISIBLE, 80, 10, 60, 20, window->hwnd(),
                        reinterpret_cast<HMENU>(kLabel), nullptr, nullptr);
        object.Attach(window->hwnd());
    }
    HWND hwnd() const { return window->hwnd(); }
    HWND Item(int id) const { return GetDlgItem(hwnd(), id); }

    std::unique_ptr<CRecordingWindow> window;
    CWindow object; // the framework object the program hands over
};

class SkinExports : public ::testing::Test {
protected:
    void SetUp() override {
        full =
            theme.Write(CFrameTheme::kButtonCount,
                        CFrameTheme::CaptionButtons() + "[Buttons]\r\nBitmap=button.bmp\r\nTopHeight=2\r\n");
        noButtons = theme.Write(CFrameTheme::kButtonCount, CFrameTheme::CaptionButtons());
    }
    void TearDown() override { ReleaseSkin(); }

    CTempFolder folder;
    CFrameTheme theme{folder};
    std::string full, noButtons;
};

TEST_F(SkinExports, InitSkinNeedsTheButtonImageButFramesDoNot) {
    EXPECT_EQ(InitSkin(noButtons.c_str()), 0);
    CTestDialog dialog;
    EXPECT_EQ(InstallDlgSkin(&dialog.object), 1);
    EXPECT_EQ(GetPropA(dialog.hwnd(), kSkinMenuProperty), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(InitSkin(full.c_str()), 1);
}

TEST_F(SkinExports, InstallDlgSkinFailures) {
    EXPECT_EQ(InitSkin(full.c_str()), 1);
    EXPECT_EQ(InstallDlgSkin(nullptr), 0);
    CWindow unbound;
    EXPECT_EQ(InstallDlgSkin(&unbound), 0);
    CTestDialog dialog;
    InitSkin("");
    const LONG_PTR before = GetWindowLongPtrW(dialog.hwnd(), GWLP_WNDPROC);
    EXPECT_EQ(InstallDlgSkin(&dialog.object), 0) << "no theme path: the frame cannot load";
    EXPECT_EQ(GetWindowLongPtrW(dialog.hwnd(), GWLP_WNDPROC), before);
    EXPECT_EQ(GetPropA(dialog.hwnd(), kSkinMenuProperty), nullptr);
}

TEST_F(SkinExports, InstallCtlSkinCases) {
    ASSERT_EQ(InitSkin(full.c_str()), 1);
    CTestDialog dialog;
    const LONG_PTR labelProc = GetWindowLongPtrW(dialog.Item(kLabel), GWLP_WNDPROC);
    const struct {
        const char* name;
        int id;
        int result;
    } cases[] = {
        {"no such control", kNoSuchControl, 0}, {"static text", kLabel, 1},
        {"static text again", kLabel, 1},       {"button", kFirstButton, 1},
        {"same button again", kFirstButton, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallCtlSkin(dialog.hwnd(), c.id), c.result) << c.name;
    }
    EXPECT_EQ(GetWindowLongPtrW(dialog.Item(kLabel), GWLP_WNDPROC), labelProc) << "the label is left alone";
}

TEST_F(SkinExports, RegistryIsKeyedByDialog) {
    ASSERT_EQ(InitSkin(full.c_str()), 1);
    CTestDialog one, two;
    for (int id : {kFirstButton, kSecondButton}) {
        EXPECT_EQ(InstallCtlSkin(one.hwnd(), id), 1);
    }
    EXPECT_EQ(InstallCtlSkin(two.hwnd(), kFirstButton), 1);
    EXPECT_EQ(UnstallCtlSkin(one.Item(kFirstButton)), 0) << "entries are filed under the dialog";
    EXPECT_EQ(UnstallCtlSkin(one.hwnd()), 2);
    EXPECT_EQ(UnstallCtlSkin(one.hwnd()), 0);
    EXPECT_EQ(InstallCtlSkin(one.hwnd(), kFirstButton), 1) << "the removed skin released its control";
    EXPECT_EQ(UnstallCtlSkin(two.hwnd()), 1);
}

TEST_F(SkinExports, ReleaseSkinTwice) {
    ASSERT_EQ(InitSkin(full.c_str()), 1);
    CTestDialog dialog;
    const LONG_PTR before = GetWindowLongPtrW(dialog.hwnd(), GWLP_WNDPROC);
    EXPECT_EQ(InstallDlgSkin(&dialog.object), 1);
    EXPECT_EQ(InstallCtlSkin(dialog.hwnd(), kFirstButton), 1);
    ReleaseSkin();
    EXPECT_EQ(GetWindowLongPtrW(dialog.hwnd(), GWLP_WNDPROC), before) << "the frame left the window";
    ReleaseSkin();
    EXPECT_EQ(UnstallCtlSkin(dialog.hwnd()), 0);
    EXPECT_EQ(InstallCtlSkin(dialog.hwnd(), kFirstButton), 1);
}

TEST_F(SkinExports, FramesOutliveTheirWindows) {
    ASSERT_EQ(InitSkin(full.c_str()), 1);
    for (int i = 0; i < 3; ++i) {
        CTestDialog dialog;
        EXPECT_EQ(InstallDlgSkin(&dialog.object), 1);
        EXPECT_EQ(InstallCtlSkin(dialog.hwnd(), kFirstButton), 1);
    }
    ReleaseSkin(); // frames and buttons of destroyed windows are freed without touching them
}

} // namespace
