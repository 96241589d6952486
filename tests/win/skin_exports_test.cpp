#include "framework/window.h"
#include "skin/skin.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;

constexpr int kFirstButton = 11, kSecondButton = 12, kLabel = 13, kNoSuchControl = 99;
constexpr char kSkinMenuProperty[] = "SkinWndProp_SkinMenu";

LONG_PTR Proc(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
}

// A dialog-like window with two push buttons and a static text.
struct CTestDialog {
    CTestDialog() {
        for (int id : {kFirstButton, kSecondButton, kLabel}) {
            CreateWindowExW(0, id == kLabel ? L"STATIC" : L"BUTTON", L"b", WS_CHILD | WS_VISIBLE, 10,
                            30 * (id - kFirstButton), 60, 24, Hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        }
        object.Attach(Hwnd());
    }
    HWND Hwnd() const { return window.Hwnd(); }
    HWND Item(int id) const { return GetDlgItem(Hwnd(), id); }

    CRecordingWindow window;
    CWindow object; // the framework object the program hands over
};

class SkinExports : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSkin(); }

    skintest::CTempFolder m_folder;
    CFrameTheme m_theme{m_folder};
    const std::string m_noButtons = m_theme.Write(CFrameTheme::kButtonCount, CFrameTheme::CaptionButtons());
    const std::string m_full =
        m_theme.Write(CFrameTheme::kButtonCount,
                      CFrameTheme::CaptionButtons() + "[Buttons]\r\nBitmap=button.bmp\r\nTopHeight=2\r\n");
};

TEST_F(SkinExports, InitAndInstallDlgSkin) {
    EXPECT_EQ(InitSkin(m_noButtons.c_str()), 0) << "the button image is missing";
    CTestDialog dialog;
    EXPECT_EQ(InstallDlgSkin(&dialog.object), 1) << "frames do not need it";
    EXPECT_EQ(GetPropA(dialog.Hwnd(), kSkinMenuProperty), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(InitSkin(m_full.c_str()), 1);

    EXPECT_EQ(InstallDlgSkin(nullptr), 0);
    CWindow unbound;
    EXPECT_EQ(InstallDlgSkin(&unbound), 0);
    CTestDialog other;
    InitSkin("");
    const LONG_PTR before = Proc(other.Hwnd());
    EXPECT_EQ(InstallDlgSkin(&other.object), 0) << "no theme path: the frame cannot load";
    EXPECT_EQ(Proc(other.Hwnd()), before);
    EXPECT_EQ(GetPropA(other.Hwnd(), kSkinMenuProperty), nullptr);
}

TEST_F(SkinExports, ControlRegistryCounts) {
    ASSERT_EQ(InitSkin(m_full.c_str()), 1);
    CTestDialog one, two;
    const LONG_PTR labelProc = Proc(one.Item(kLabel));
    const struct {
        const char* name;
        HWND dialog;
        int id, result;
    } cases[] = {
        {"no such control", one.Hwnd(), kNoSuchControl, 0},
        {"static text is accepted and left alone", one.Hwnd(), kLabel, 1},
        {"static text again", one.Hwnd(), kLabel, 1},
        {"button", one.Hwnd(), kFirstButton, 1},
        {"same button again", one.Hwnd(), kFirstButton, 0},
        {"second button", one.Hwnd(), kSecondButton, 1},
        {"another dialog", two.Hwnd(), kFirstButton, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InstallCtlSkin(c.dialog, c.id), c.result) << c.name;
    }
    EXPECT_EQ(Proc(one.Item(kLabel)), labelProc);
    EXPECT_EQ(UnstallCtlSkin(one.Item(kFirstButton)), 0) << "entries are filed under the dialog";
    EXPECT_EQ(UnstallCtlSkin(one.Hwnd()), 2);
    EXPECT_EQ(UnstallCtlSkin(one.Hwnd()), 0);
    EXPECT_EQ(InstallCtlSkin(one.Hwnd(), kFirstButton), 1) << "the removed skin released its control";
    EXPECT_EQ(UnstallCtlSkin(two.Hwnd()), 1);
}

TEST_F(SkinExports, ReleaseSkinTwiceWithSomeWindowsGone) {
    ASSERT_EQ(InitSkin(m_full.c_str()), 1);
    for (int i = 0; i < 2; ++i) { // their frames and buttons are freed without touching them
        CTestDialog gone;
        EXPECT_EQ(InstallDlgSkin(&gone.object), 1);
        EXPECT_EQ(InstallCtlSkin(gone.Hwnd(), kFirstButton), 1);
    }
    CTestDialog dialog;
    const LONG_PTR before = Proc(dialog.Hwnd());
    EXPECT_EQ(InstallDlgSkin(&dialog.object), 1);
    EXPECT_EQ(InstallCtlSkin(dialog.Hwnd(), kFirstButton), 1);
    ReleaseSkin();
    EXPECT_EQ(Proc(dialog.Hwnd()), before) << "the frame left the window";
    ReleaseSkin();
    EXPECT_EQ(UnstallCtlSkin(dialog.Hwnd()), 0);
    EXPECT_EQ(InstallCtlSkin(dialog.Hwnd(), kFirstButton), 1) << "the button was released";
}

} // namespace
