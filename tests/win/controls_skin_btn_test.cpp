#include "controls/skin_btn.h"
#include "controls_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace controlstest;

constexpr WORD kNormalId = 501, kHoverId = 502, kPressedId = 503, kDisabledId = 504;
constexpr COLORREF kFaces[] = {RGB(200, 0, 0), RGB(0, 0, 200), RGB(200, 200, 0), RGB(90, 90, 90)};
constexpr COLORREF kKey = RGB(255, 0, 255);
// Images of 40 x 20 on a 60 x 30 button at (20, 20) of the dialog, which sits at the screen's corner.
constexpr int kImageWidth = 40, kImageHeight = 20;
constexpr POINT kFace{20, 10}, kKeyPixel{2, 10}, kBeyondImage{50, 25};
constexpr POINT kInside{40, 30}, kOutside{700, 500};

class CSkinBtnTest : public CDialogSuite<CSkinBtnTest> {
protected:
    void SetUp() override {
        for (int state = 0; state < 4; ++state) { // the left 5 columns in the key colour
            m_resources.AddBitmap(static_cast<WORD>(kNormalId + state), kImageWidth, kImageHeight,
                                  [state](int x, int) { return x < 5 ? kKey : kFaces[state]; });
        }
        m_module = m_resources.Load();
        ASSERT_TRUE(m_module);
        SetCursorPos(kOutside.x, kOutside.y);
        ASSERT_TRUE(s_dialog->MakeControl(L"BUTTON", BS_PUSHBUTTON, L"OK", {20, 20, 80, 50}));
        ASSERT_TRUE(m_button.SubclassDlgItem(CTestDialog::kControlId, s_dialog->GetSafeHwnd()));
        m_button.SetBitmaps(m_module, kNormalId, kHoverId, kPressedId, kDisabledId);
        Redraw(s_dialog->GetSafeHwnd());
    }
    void TearDown() override { DestroyWindow(s_dialog->Control()); }

    HWND Button() const { return m_button.GetSafeHwnd(); }
    void Draw(UINT itemState) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = CTestDialog::kControlId;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = itemState;
        item.hwndItem = Button();
        HDC dc = GetDC(Button());
        item.hDC = dc;
        GetClientRect(Button(), &item.rcItem);
        SendMessageW(s_dialog->GetSafeHwnd(), WM_DRAWITEM, CTestDialog::kControlId,
                     reinterpret_cast<LPARAM>(&item));
        ReleaseDC(Button(), dc);
    }
    void Enter() {
        SetCursorPos(kInside.x, kInside.y);
        SendMessageW(Button(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
    }
    bool Leave(DWORD ms = 1000) {
        SetCursorPos(kOutside.x, kOutside.y);
        return PumpUntil([&] { return !m_button.IsHovering(); }, ms);
    }
    COLORREF At(POINT p) const { return Pixel(Button(), p.x, p.y); }

    CResourceModule m_resources;
    HMODULE m_module = nullptr;
    CSkinBtn m_button;
};

TEST_F(CSkinBtnTest, BecomesAnOwnerDrawnButtonThatKeepsTheCursorAndIsShapedOnce) {
    EXPECT_EQ(GetWindowLongPtrW(Button(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(SendMessageW(Button(), WM_SETCURSOR, reinterpret_cast<WPARAM>(Button()), HTCLIENT), TRUE);
    unique_hrgn region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(Button(), region.get()), SIMPLEREGION);
}

TEST_F(CSkinBtnTest, DrawItemPicksTheImageByFocusSelectionHoverAndDisabling) {
    const struct {
        const char* name;
        UINT itemState;
        bool hovering;
        int state;
    } cases[] = {
        {"plain", 0, false, CSkinBtn::kNormal},
        {"focused", ODS_FOCUS, false, CSkinBtn::kNormal},
        {"focused under the pointer", ODS_FOCUS, true, CSkinBtn::kHover},
        {"under the pointer without focus", 0, true, CSkinBtn::kNormal},
        {"selected without focus", ODS_SELECTED, true, CSkinBtn::kNormal},
        {"pressed", ODS_FOCUS | ODS_SELECTED, false, CSkinBtn::kPressed},
        {"disabled wins", ODS_FOCUS | ODS_SELECTED | ODS_DISABLED, true, CSkinBtn::kDisabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.hovering != m_button.IsHovering()) {
            c.hovering ? Enter() : (void)Leave();
        }
        ASSERT_EQ(m_button.IsHovering(), c.hovering);
        Draw(c.itemState);
        EXPECT_EQ(m_button.State(), c.state);
        EXPECT_EQ(At(kFace), kFaces[c.state]);
        EXPECT_EQ(At(kKeyPixel), CTestDialog::kBackground) << "the key colour shows what was there";
        EXPECT_EQ(At(kBeyondImage), CTestDialog::kBackground);
    }
}

// As the program's caption buttons do: the disabled state named by the normal image's id.
TEST_F(CSkinBtnTest, AStateWithTheIdOfAnEarlierOneShowsItsImage) {
    m_button.SetBitmaps(m_module, kNormalId, kHoverId, kPressedId, kNormalId);
    Draw(ODS_DISABLED);
    EXPECT_EQ(m_button.State(), CSkinBtn::kDisabled);
    EXPECT_EQ(At(kFace), kFaces[CSkinBtn::kNormal]);
    Draw(ODS_FOCUS | ODS_SELECTED);
    EXPECT_EQ(At(kFace), kFaces[CSkinBtn::kPressed]);
}

TEST_F(CSkinBtnTest, HoverShowsAtOnceAndEndsWhenThePointerHasLeft) {
    Enter();
    EXPECT_EQ(m_button.State(), CSkinBtn::kHover);
    EXPECT_EQ(At(kFace), kFaces[CSkinBtn::kHover]) << "painted by the move itself";
    ASSERT_TRUE(Leave());
    EXPECT_EQ(m_button.State(), CSkinBtn::kNormal);
    EXPECT_EQ(At(kFace), kFaces[CSkinBtn::kNormal]);

    // While disabled the timer goes on but leaves the hover alone.
    Enter();
    EnableWindow(Button(), FALSE);
    EXPECT_FALSE(Leave(200));
    EnableWindow(Button(), TRUE);
    EXPECT_TRUE(PumpUntil([&] { return !m_button.IsHovering(); }, 1000));
    EXPECT_EQ(m_button.State(), CSkinBtn::kNormal);
}

} // namespace
