#include "framework/gdi.h"
#include "pixels/skin_colour.h"
#include "skin/drawing.h"
#include "skin/skin_menu.h"
#include "skin_test_theme.h"

#include <climits>

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
    void SetUp() override { SetPropA(m_owner.Hwnd(), kSkinMenuProperty, reinterpret_cast<HANDLE>(1)); }
    void TearDown() override { DestroyMenu(m_menu); }

    // A null text adds a separator.
    void Add(UINT id, const char* text, UINT flags = MF_STRING) {
        AppendMenuA(m_menu, text != nullptr ? flags : MF_SEPARATOR, id, text);
    }
    MENUITEMINFOA Info(UINT position) const {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        GetMenuItemInfoA(m_menu, position, TRUE, &info);
        return info;
    }
    MEASUREITEMSTRUCT Measure(UINT position) const {
        MEASUREITEMSTRUCT m{};
        m.CtlType = ODT_MENU;
        m.itemData = Info(position).dwItemData;
        MeasureMenuItem(m);
        return m;
    }

    skintest::CRecordingWindow m_owner;
    HMENU m_menu = CreatePopupMenu();
};

// Text metrics of the menu font, as the library measures.
struct CMenuFont {
    CMenuFont() { GetTextMetricsA(dc.get(), &metrics); }
    int Width(const std::string& text) const {
        SIZE size{};
        GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

    unique_hdc_window dc{nullptr};
    unique_select_object font{dc.get(), GetStockObject(DEFAULT_GUI_FONT)};
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
        DestroyMenu(m_menu);
        m_menu = CreatePopupMenu();
        for (UINT i = 0; i < c.items.size(); ++i) {
            Add(i + 1, c.items[i]); // texts are kept by identifier
        }
        PrepareMenu(m_menu, m_owner.Hwnd());
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
    RemovePropA(m_owner.Hwnd(), kSkinMenuProperty);
    PrepareMenu(m_menu, m_owner.Hwnd());
    EXPECT_FALSE(Info(0).fType & MFT_OWNERDRAW);
    DRAWITEMSTRUCT button{};
    button.CtlType = ODT_BUTTON;
    EXPECT_FALSE(DrawMenuItem(button)) << "only menu items are drawn here";
}

TEST_F(SkinMenu, DrawingLooks) {
    Add(1, "plain");
    Add(0, nullptr);
    Add(2, "checked", MF_STRING | MF_CHECKED);
    PrepareMenu(m_menu, m_owner.Hwnd());
    // One row of kH pixels each: plain, selected, separator, checked.
    constexpr int kW = 200, kH = 20;
    const struct {
        UINT id, state;
    } items[] = {{1, 0}, {1, ODS_SELECTED}, {0, 0}, {2, 0}};
    unique_hbitmap bitmap(skintest::ScreenBitmap(kW, 4 * kH));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), bitmap.get());
    for (int i = 0; i < 4; ++i) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemID = items[i].id;
        item.itemState = items[i].state;
        item.hwndItem = reinterpret_cast<HWND>(m_menu);
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

// Where ink (anything but the background) lies in one drawn row, and its
// darkest component: text is smoothed, so ink runs from the background to
// the text colour.
struct CInk {
    int count = 0, left = INT_MAX, right = -1;
    int darkest = 255;
};

TEST_F(SkinMenu, MarksGreyBoldAcceleratorsAndEightBitText) {
    // GBK text in the test's ANSI code page (936): 打开文件.
    const std::wstring wide = L"\u6253\u5F00\u6587\u4EF6";
    std::string gbk(32, '\0');
    gbk.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, gbk.data(), 32, nullptr, nullptr) - 1));
    ASSERT_EQ(gbk.size(), 8u) << "two bytes a character";
    Add(1, "Bold");
    Add(2, "Bold");
    Add(3, "Grey", MF_STRING | MF_GRAYED);
    Add(4, "x\tCtrl+Q");
    Add(5, gbk.c_str());
    Add(6, "c", MF_STRING | MF_CHECKED);
    Add(7, "r", MF_STRING | MF_CHECKED | MFT_RADIOCHECK);
    SetMenuDefaultItem(m_menu, 2, FALSE);
    PrepareMenu(m_menu, m_owner.Hwnd());
    constexpr int kW = 200, kH = 20, kRows = 8;
    unique_hbitmap bitmap(skintest::ScreenBitmap(kW, kRows * kH));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    unique_select_object select(dc.get(), bitmap.get());
    for (UINT id = 1; id <= 7; ++id) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_MENU;
        item.itemID = id;
        item.hwndItem = reinterpret_cast<HWND>(m_menu);
        item.hDC = dc.get();
        item.rcItem = {0, static_cast<LONG>(id - 1) * kH, kW, static_cast<LONG>(id) * kH};
        ASSERT_TRUE(DrawMenuItem(item));
    }
    // The last row: the same text drawn as wide text where the label goes.
    {
        FillSolid(dc.get(), {0, 7 * kH, kW, 8 * kH}, kBk);
        unique_select_object font(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
        SetTextColor(dc.get(), GetSysColor(COLOR_MENUTEXT));
        SetBkMode(dc.get(), TRANSPARENT);
        RECT label{30, 7 * kH, kW, 8 * kH};
        DrawTextW(dc.get(), wide.c_str(), -1, &label, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    }
    auto at = [&](int row, int x, int y) { return GetPixel(dc.get(), x, row * kH + y); };
    // Ink right of the image column, against the item background.
    auto ink = [&](int row) {
        CInk ink;
        for (int y = 0; y < kH; ++y) {
            for (int x = 28; x < kW; ++x) {
                const COLORREF c = at(row, x, y);
                if (c == kBk) {
                    continue;
                }
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.darkest =
                    std::min({ink.darkest, int{GetRValue(c)}, int{GetGValue(c)}, int{GetBValue(c)}});
            }
        }
        return ink;
    };
    const COLORREF text = GetSysColor(COLOR_MENUTEXT);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const CInk plain = ink(0), bold = ink(1), grey = ink(2), accelerator = ink(3);
    EXPECT_GT(bold.count, plain.count) << "the default item is bold";
    const COLORREF greyText = AdjustColour(face, -18, 0);
    ASSERT_EQ(text, RGB(0, 0, 0));
    ASSERT_EQ(GetRValue(greyText), GetBValue(greyText));
    EXPECT_LT(plain.darkest, GetRValue(greyText) - 50);
    EXPECT_GE(grey.darkest, GetRValue(greyText)) << "grey text";
    EXPECT_LT(grey.darkest, GetRValue(kBk) - 20);
    EXPECT_GE(plain.left, 30);
    EXPECT_LE(plain.left, 32) << "the label starts 30 in";
    EXPECT_LE(accelerator.right, kW - 13);
    EXPECT_GE(accelerator.right, kW - 16) << "the accelerator ends 12 from the right";
    int differ = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 28; x < kW; ++x) {
            differ += at(4, x, y) != at(7, x, y);
        }
    }
    EXPECT_EQ(differ, 0) << "the 8-bit label looks as its wide text";
    // Check mark and radio bullet in the text colour inside the box.
    const COLORREF box = AdjustColour(GetSysColor(COLOR_HIGHLIGHT), 70, -57);
    int mark = 0;
    for (int y = 3; y < kH - 1; ++y) {
        for (int x = 5; x < 20; ++x) {
            mark += at(5, x, y) == text;
        }
    }
    EXPECT_GT(mark, 5) << "check mark";
    EXPECT_EQ(at(5, 2, 2), box);
    const int cx = 12, cy = kH / 2;
    EXPECT_EQ(at(6, cx, cy), text) << "radio bullet";
    EXPECT_EQ(at(6, cx + 1, cy + 2), box) << "with its one light pixel";
    EXPECT_EQ(at(6, cx - 6, cy), box);
}

} // namespace
