#include "framework/gdi.h"
#include "skin/skin_menu.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const COLORREF kBk = RGB(250, 250, 250);
// Close to kBk, so that the gradients have few steps and wide strips.
const COLORREF kBar = RGB(240, 250, 250);
const COLORREF kSeparator = RGB(0, 128, 0);
const COLORREF kBorder = RGB(0, 0, 255);
// Width of every item besides its texts: 2 x TextPadding + ImgPadding + 20.
constexpr int kItemExtra = 42;

class SkinMenu : public ::testing::Test {
protected:
    // The menu settings are read once per process: every test here shares them.
    static void SetUpTestSuite() {
        static skintest::CTempFolder folder;
        skintest::WriteText(folder.File("menu.ini"),
                            "[Menu]\r\nBKColor=250 250 250\r\nHorzBarColor=240 250 250\r\n"
                            "SeparatorColor=0 128 0\r\nHilightBorder=0 0 255\r\n");
        LoadMenuSettings(folder.File("menu.ini"));
    }
    void SetUp() override { SetPropA(owner.hwnd(), kSkinMenuProperty, reinterpret_cast<HANDLE>(1)); }
    void TearDown() override { DestroyMenu(menu); }

    // A null text adds a separator.
    void Add(UINT id, const char* text, UINT flags = MF_STRING) {
        AppendMenuA(menu, text != nullptr ? flags : MF_SEPARATOR, id, text);
    }
    MENUITEMINFOA Info(UINT position) const {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoA(menu, position, TRUE, &info);
        return info;
    }
    MEASUREITEMSTRUCT Measure(UINT position) const {
        MEASUREITEMSTRUCT m{};
        m.CtlType = ODT_MENU;
        m.itemData = Info(position).dwItemData;
        MeasureMenuItem(m);
        return m;
    }

    skintest::CRecordingWindow owner;
    HMENU menu = CreatePopupMenu();
};

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

    HDC dc;
    HGDIOBJ old;
    TEXTMETRICA metrics{};
};

TEST_F(SkinMenu, EveryItemMeasuresTheWidestLabelAndAccelerator) {
    const CMenuFont font;
    const std::string wide(60, 'W');
    ASSERT_GT(font.Width(wide), 255);
    const std::string wrapping = "x\t" + wide;
    const struct {
        const char* name;
        std::vector<const char*> items; // null: a separator
        std::string label, accelerator;
    } cases[] = {
        {"widest of all",
         {"&Open\tCtrl+O", "Exit the whole program", nullptr, "A&bout"},
         "Exit the whole program",
         "Ctrl+O"},
        {"first ampersand not measured", {"W&WWWWW"}, "WWWWWW", ""},
        {"only separators", {nullptr, nullptr, nullptr}, "", ""},
        {"accelerator wider than 255 wraps", {wrapping.c_str()}, "x", wide},
    };
    const int itemHeight = std::max<int>(font.metrics.tmHeight + 2, 16) + 4;
    const int separatorHeight = font.metrics.tmHeight / 2 + 2;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyMenu(menu);
        menu = CreatePopupMenu();
        for (UINT i = 0; i < c.items.size(); ++i) {
            Add(i + 1, c.items[i]); // texts are kept by identifier
        }
        PrepareMenu(menu, owner.hwnd());
        const int width = font.Width(c.label) + (font.Width(c.accelerator) & 0xFF) + kItemExtra;
        for (UINT i = 0; i < c.items.size(); ++i) {
            const bool separator = c.items[i] == nullptr;
            EXPECT_TRUE(Info(i).fType & MFT_OWNERDRAW) << i;
            const MEASUREITEMSTRUCT m = Measure(i);
            EXPECT_EQ(static_cast<int>(m.itemWidth), separator ? kItemExtra : width) << i;
            EXPECT_EQ(static_cast<int>(m.itemHeight), separator ? separatorHeight : itemHeight) << i;
        }
    }
}

TEST_F(SkinMenu, OnlyMarkedOwnersGetSkinnedMenus) {
    Add(1, "short");
    RemovePropA(owner.hwnd(), kSkinMenuProperty);
    PrepareMenu(menu, owner.hwnd());
    EXPECT_FALSE(Info(0).fType & MFT_OWNERDRAW);
    DRAWITEMSTRUCT button{};
    button.CtlType = ODT_BUTTON;
    EXPECT_FALSE(DrawMenuItem(button)) << "only menu items are drawn here";
}

TEST_F(SkinMenu, DrawingLooks) {
    Add(1, "plain");
    Add(0, nullptr);
    Add(2, "checked", MF_STRING | MF_CHECKED);
    PrepareMenu(menu, owner.hwnd());
    // One row of kH pixels each: plain, selected, separator, checked.
    constexpr int kW = 200, kH = 20;
    const struct { UINT id, state; } items[] = {{1, 0}, {1, ODS_SELECTED}, {0, 0}, {2, 0}};
    unique_hbitmap bitmap(skintest::ScreenBitmap(kW, 4 * kH));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), bitmap.get());
    for (int i = 0; i < 4; ++i) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemID = items[i].id;
        item.itemState = items[i].state;
        item.hwndItem = reinterpret_cast<HWND>(menu);
        item.hDC = dc.get();
        item.rcItem = {0, i * kH, kW, (i + 1) * kH};
        ASSERT_TRUE(DrawMenuItem(item));
    }
    auto at = [&](int row, int x, int y) { return GetPixel(dc.get(), x, row * kH + y); };
    EXPECT_EQ(at(0, 0, 10), kBar) << "the image column starts in the bar colour";
    EXPECT_EQ(at(0, 150, 2), kBk);
    EXPECT_EQ(at(1, 0, 0), kBorder) << "gradient selection outlined in HilightBorder";
    EXPECT_EQ(at(1, 1, 10), kBar);
    const int line = 8 + 6 + 16; // TextPadding + ImgPadding + image
    EXPECT_EQ(at(2, line + 5, kH / 2), kSeparator);
    EXPECT_EQ(at(2, line + 5, kH / 2 + 1), RGB(255, 255, 255));
    EXPECT_EQ(at(2, line - 2, kH / 2), at(2, line - 2, 1)) << "no line left of the text";
    EXPECT_EQ(at(3, 1, 1), GetSysColor(COLOR_HIGHLIGHT)) << "check box outline";
}

} // namespace
