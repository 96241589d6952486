#include "skin/skin_menu.h"
#include "skin/skin_win.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;

const COLORREF kBk = RGB(250, 250, 250);
// Close to kBk, so that the gradients have few steps and wide strips.
const COLORREF kBar = RGB(240, 250, 250);
const COLORREF kSeparator = RGB(0, 128, 0);
const COLORREF kBorder = RGB(0, 0, 255);

// The menu settings are read once per process: every test here shares them.
class SkinMenu : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static CTempFolder folder;
        static CFrameTheme theme(folder);
        themePath = new std::string(theme.Write(
            CFrameTheme::kButtonCount,
            CFrameTheme::CaptionButtons() +
                "[Menu]\r\nBKColor=250 250 250\r\nHorzBarColor=240 250 250\r\nSeparatorColor=0 128 0\r\n"
                "HilightBorder=0 0 255\r\n"));
        LoadMenuSettings(*themePath);
    }

    void SetUp() override {
        owner = std::make_unique<CRecordingWindow>();
        frame = std::make_unique<CSkinWin>(*themePath);
        ASSERT_TRUE(frame->IsLoaded());
        frame->Install(owner->hwnd());
        SetPropA(owner->hwnd(), kSkinMenuProperty, reinterpret_cast<HANDLE>(1));
        menu = CreatePopupMenu();
    }
    void TearDown() override {
        DestroyMenu(menu);
        RemovePropA(owner->hwnd(), kSkinMenuProperty);
        owner.reset();
    }

    void Add(UINT id, const char* text, UINT flags = MF_STRING) { AppendMenuA(menu, flags, id, text); }
    void Open() { SendMessageW(owner->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0); }
    MENUITEMINFOA Info(UINT position) const {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoA(menu, position, TRUE, &info);
        return info;
    }
    MEASUREITEMSTRUCT Measure(UINT position) {
        MEASUREITEMSTRUCT m{};
        m.CtlType = ODT_MENU;
        m.itemData = Info(position).dwItemData;
        EXPECT_EQ(SendMessageW(owner->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m)), TRUE);
        return m;
    }

    static std::string* themePath;
    std::unique_ptr<CSkinWin> frame;
    std::unique_ptr<CRecordingWindow> owner;
    HMENU menu = nullptr;
};

std::string* SkinMenu::themePath = nullptr;

// Text metrics of the menu font, as the library measures.
struct CMenuFont {
    CMenuFont() : dc(GetDC(nullptr)), old(SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT))) {
        GetTextMetricsA(dc, &metrics);
    }
    ~CMenuFont() {
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    int Width(const std::string& text) const {
        SIZE size{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    int ItemHeight() const { return std::max<int>(metrics.tmHeight + 2, 16) + 4; }
    int SeparatorHeight() const { return metrics.tmHeight / 2 + 2; }

    HDC dc;
    HGDIOBJ old;
    TEXTMETRICA metrics{};
};

TEST_F(SkinMenu, OnlyMarkedOwnersGetSkinnedMenus) {
    Add(1, "Open");
    RemovePropA(owner->hwnd(), kSkinMenuProperty);
    Open();
    EXPECT_FALSE(Info(0).fType & MFT_OWNERDRAW);
}

TEST_F(SkinMenu, MeasurementAfterInitMenuPopup) {
    Add(1, "&Open\tCtrl+O");
    Add(2, "Exit the whole program");
    Add(0, nullptr, MF_SEPARATOR);
    Add(3, "A&bout");
    Open();
    const CMenuFont font;
    const int label = font.Width("Exit the whole program");
    const int accel = font.Width("Ctrl+O");
    for (UINT i : {0u, 1u, 3u}) {
        EXPECT_TRUE(Info(i).fType & MFT_OWNERDRAW) << i;
        const MEASUREITEMSTRUCT m = Measure(i);
        EXPECT_EQ(static_cast<int>(m.itemHeight), font.ItemHeight()) << i;
        EXPECT_EQ(static_cast<int>(m.itemWidth), label + accel + 42) << i;
    }
    const MEASUREITEMSTRUCT separator = Measure(2);
    EXPECT_EQ(static_cast<int>(separator.itemHeight), font.SeparatorHeight());
    EXPECT_EQ(separator.itemWidth, 42u);
}

TEST_F(SkinMenu, LabelIsMeasuredWithoutItsFirstAmpersand) {
    Add(1, "W&WWWWW");
    Open();
    const CMenuFont font;
    EXPECT_EQ(static_cast<int>(Measure(0).itemWidth), font.Width("WWWWWW") + 42);
}

TEST_F(SkinMenu, AllSeparators) {
    for (int i = 0; i < 3; ++i) {
        Add(0, nullptr, MF_SEPARATOR);
    }
    Open();
    const CMenuFont font;
    for (UINT i = 0; i < 3; ++i) {
        const MEASUREITEMSTRUCT m = Measure(i);
        EXPECT_EQ(m.itemWidth, 2u * 8 + 6 + 20);
        EXPECT_EQ(static_cast<int>(m.itemHeight), font.SeparatorHeight());
    }
}

TEST_F(SkinMenu, WideAcceleratorWrapsInTheItemData) {
    const std::string accel(60, 'W');
    Add(1, ("x\t" + accel).c_str());
    Open();
    const CMenuFont font;
    const int width = font.Width(accel);
    ASSERT_GT(width, 255);
    EXPECT_EQ(static_cast<int>(Measure(0).itemWidth), font.Width("x") + (width & 0xFF) + 42);
}

TEST_F(SkinMenu, TextsAreStoredOnceAtConversion) {
    Add(1, "short");
    Open();
    const UINT before = Measure(0).itemWidth;
    ModifyMenuA(menu, 0, MF_BYPOSITION | MF_STRING | MF_OWNERDRAW, 1, "a much much longer text");
    Open();
    EXPECT_EQ(Measure(0).itemWidth, before);
}

TEST_F(SkinMenu, ItemsOfOtherOwnerDrawingKeepTheirOwnMeasure) {
    MEASUREITEMSTRUCT m{};
    m.CtlType = ODT_MENU;
    m.itemData = 0x00640000; // not prepared here: only a label width of 100
    EXPECT_EQ(SendMessageW(owner->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m)), TRUE);
    EXPECT_EQ(m.itemWidth, 104u);
    EXPECT_EQ(m.itemHeight, 0u);
    MEASUREITEMSTRUCT list{};
    list.CtlType = ODT_LISTBOX;
    list.itemWidth = 7;
    SendMessageW(owner->hwnd(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&list));
    EXPECT_EQ(list.itemWidth, 7u) << "other items are left unchanged";
}

// Draws one item into a bitmap and reads its pixels.
class CDrawnItem {
public:
    CDrawnItem(HWND owner, HMENU menu, UINT id, UINT state) {
        HDC screen = GetDC(nullptr);
        bitmap_.reset(CreateCompatibleBitmap(screen, kW, kH));
        ReleaseDC(nullptr, screen);
        dc_.reset(CreateCompatibleDC(nullptr));
        select_ = std::make_unique<unique_select_object>(dc_.get(), bitmap_.get());
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemID = id;
        item.itemState = state;
        item.hwndItem = reinterpret_cast<HWND>(menu);
        item.hDC = dc_.get();
        item.rcItem = {0, 0, kW, kH};
        handled = SendMessageW(owner, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item)) == TRUE;
    }
    COLORREF At(int x, int y) const { return GetPixel(dc_.get(), x, y); }

    static constexpr int kW = 200, kH = 20;
    bool handled = false;

private:
    unique_hbitmap bitmap_;
    unique_hdc dc_;
    std::unique_ptr<unique_select_object> select_;
};

TEST_F(SkinMenu, DrawingLooks) {
    Add(1, "plain");
    Add(0, nullptr, MF_SEPARATOR);
    Add(2, "checked", MF_STRING | MF_CHECKED);
    Open();

    const CDrawnItem plain(owner->hwnd(), menu, 1, 0);
    ASSERT_TRUE(plain.handled);
    EXPECT_EQ(plain.At(0, 10), kBar) << "the image column starts in the bar colour";
    EXPECT_EQ(plain.At(150, 2), kBk);

    const CDrawnItem selected(owner->hwnd(), menu, 1, ODS_SELECTED);
    EXPECT_EQ(selected.At(0, 0), kBorder) << "gradient selection outlined in HilightBorder";
    EXPECT_EQ(selected.At(1, 10), kBar);

    const CDrawnItem separator(owner->hwnd(), menu, 0, 0);
    const int line = 8 + 6 + 16;
    EXPECT_EQ(separator.At(line + 5, CDrawnItem::kH / 2), kSeparator);
    EXPECT_EQ(separator.At(line + 5, CDrawnItem::kH / 2 + 1), RGB(255, 255, 255));
    EXPECT_EQ(separator.At(line - 2, CDrawnItem::kH / 2), separator.At(line - 2, 1))
        << "no line left of the text";

    const CDrawnItem checked(owner->hwnd(), menu, 2, 0);
    EXPECT_EQ(checked.At(1, 1), GetSysColor(COLOR_HIGHLIGHT)) << "check box outline";

    DRAWITEMSTRUCT button{};
    button.CtlType = ODT_BUTTON;
    EXPECT_FALSE(DrawMenuItem(button));
}

} // namespace
