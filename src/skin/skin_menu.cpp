// The system check-mark bitmap (OBM_CHECK) is named only with OEMRESOURCE.
#define OEMRESOURCE
#include "skin/skin_menu.h"

#include "skin/drawing.h"
#include "skin/theme_reader.h"

#include "pixels/skin_colour.h"
#include "skin/core/menu_layout.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

const char kSkinMenuProperty[] = "SkinWndProp_SkinMenu";

namespace {

constexpr char kMenuSection[] = "Menu";
constexpr int kItemTextLimit = 255;
// Fixed places in an item: label start, accelerator margin, check box.
constexpr int kLabelLeft = 30;
constexpr int kAcceleratorRight = 12;
constexpr int kCheckBoxRight = 20;
constexpr int kCheckMarkLeft = 5;
constexpr int kCheckMarkTop = 3;
constexpr int kCheckMarkWidth = 15;
constexpr int kLowColourColumnWidth = 22;
constexpr int kLowColourDepth = 8;

// Read at the first successful InstallDlgSkin; UI thread only.
struct CMenuSettings {
    bool loaded = false;
    COLORREF bkColor = 0, horzBarColor = 0, separatorColor = 0, hilightBorder = 0;
    CMenuPadding padding;
};

CMenuSettings& Settings() {
    static CMenuSettings settings;
    return settings;
}

// Texts of converted items, kept for the life of the process.
std::map<UINT, std::string>& TextById() {
    static std::map<UINT, std::string> texts;
    return texts;
}
std::map<HMENU, std::string>& TextBySubmenu() {
    static std::map<HMENU, std::string> texts;
    return texts;
}

// "ShowGradientSel" of section "MenuEx" in the library's own profile (the
// module's name with ".INI", which the platform looks for in the Windows
// folder); read at the first item drawn.
bool ShowGradientSelection() {
    static const bool show = [] {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&ShowGradientSelection), &self);
        char path[MAX_PATH] = {};
        GetModuleFileNameA(self, path, MAX_PATH);
        std::string name(path);
        name.erase(0, name.find_last_of("\\/") + 1); // npos + 1 is 0: no folder
        name = name.substr(0, name.find_last_of('.')) + ".INI";
        return GetPrivateProfileIntA("MenuEx", "ShowGradientSel", 1, name.c_str()) != 0;
    }();
    return show;
}

COLORREF Adjust(COLORREF colour, int lightness, int saturation) {
    return AdjustColour(static_cast<SkinColour>(colour), lightness, saturation);
}

// What the library knows of one item.
struct MenuItemRecord {
    UINT type = 0;
    UINT state = 0;
    UINT id = 0;
    HMENU submenu = nullptr;
    ULONG_PTR data = 0;
    std::optional<std::string> text;
};

bool ReadItemInfo(HMENU menu, UINT position, MENUITEMINFOA& info, char* text) {
    info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_DATA | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = kItemTextLimit;
    text[0] = '\0';
    return GetMenuItemInfoA(menu, position, TRUE, &info) != FALSE;
}

MenuItemRecord RecordOf(const MENUITEMINFOA& info) {
    MenuItemRecord record{info.fType, info.fState, info.wID, info.hSubMenu, info.dwItemData, std::nullopt};
    if (info.fType & MFT_SEPARATOR) {
        return record;
    }
    if (info.hSubMenu != nullptr) {
        auto it = TextBySubmenu().find(info.hSubMenu);
        if (it != TextBySubmenu().end()) {
            record.text = it->second;
        }
    } else {
        auto it = TextById().find(info.wID);
        if (it != TextById().end()) {
            record.text = it->second;
        }
    }
    return record;
}

// The item font: the DC's current font at bold weight for the default item,
// normal otherwise; null when the current font already has that weight.
unique_hfont ItemFont(HDC dc, bool isDefault) {
    LOGFONTA font{};
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof(font), &font);
    const LONG weight = isDefault ? FW_BOLD : FW_NORMAL;
    if (font.lfWeight == weight) {
        return {};
    }
    font.lfWeight = weight;
    return unique_hfont(CreateFontIndirectA(&font));
}

int TextWidth(HDC dc, const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void DrawBackground(HDC dc, const RECT& rect, const MenuItemRecord& record, bool highlighted, bool deep) {
    const CMenuSettings& s = Settings();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const bool grayed = record.state & MF_GRAYED;
    if (!highlighted) {
        RECT column = rect;
        RECT rest = rect;
        if (deep) {
            column.right = rect.left + MenuImageColumnWidth(s.padding);
            rest.left = column.right;
            FillGradient(dc, column, s.horzBarColor, s.bkColor);
            FillSolid(dc, rest, s.bkColor);
        } else {
            column.right = rect.left + kLowColourColumnWidth;
            rest.left = column.right;
            FillSolid(dc, column, Adjust(face, 20, 0));
            FillSolid(dc, rest, Adjust(face, 75, 0));
        }
        return;
    }
    const COLORREF fill = grayed ? Adjust(face, 73, 0) : Adjust(highlight, 70, -57);
    if (ShowGradientSelection() && deep) {
        FillGradient(dc, rect, grayed ? fill : s.horzBarColor, s.bkColor);
        unique_hbrush border(CreateSolidBrush(s.hilightBorder));
        FrameRect(dc, &rect, border.get());
        return;
    }
    unique_hbrush brush(CreateSolidBrush(fill));
    unique_hpen pen(CreatePen(PS_SOLID, 1, highlight));
    unique_select_object selectBrush(dc, brush.get());
    unique_select_object selectPen(dc, pen.get());
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void DrawSeparator(HDC dc, const RECT& rect) {
    const CMenuSettings& s = Settings();
    const int x0 = rect.left + s.padding.textPadding + s.padding.imgPadding + kMenuImageSize;
    const int y = (rect.top + rect.bottom) / 2;
    FillSolid(dc, {x0, y, rect.right - 1, y + 1}, s.separatorColor);
    FillSolid(dc, {x0, y + 1, rect.right - 1, y + 2}, RGB(255, 255, 255));
}

void DrawCheck(HDC dc, const RECT& rect, const MenuItemRecord& record, bool selected) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const bool grayed = record.state & MF_GRAYED;
    const COLORREF box = grayed     ? Adjust(face, 73, 0)
                         : selected ? Adjust(highlight, 50, -50)
                                    : Adjust(highlight, 70, -57);
    {
        unique_hbrush brush(CreateSolidBrush(box));
        unique_hpen pen(CreatePen(PS_SOLID, 1, highlight));
        unique_select_object selectBrush(dc, brush.get());
        unique_select_object selectPen(dc, pen.get());
        Rectangle(dc, rect.left + 1, rect.top + 1, rect.left + kCheckBoxRight, rect.bottom - 1);
    }
    if (record.type & MFT_RADIOCHECK) {
        const int cx = (2 * rect.left + 25) / 2;
        const int cy = (rect.top + rect.bottom) / 2;
        const COLORREF bullet = grayed ? Adjust(face, -27, 0) : GetSysColor(COLOR_MENUTEXT);
        unique_hbrush brush(CreateSolidBrush(bullet));
        unique_hpen pen(CreatePen(PS_SOLID, 1, bullet));
        unique_select_object selectBrush(dc, brush.get());
        unique_select_object selectPen(dc, pen.get());
        Ellipse(dc, cx - 4, cy - 3, cx + 3, cy + 4);
        SetPixel(dc, cx + 1, cy + 2, box);
        return;
    }
    unique_hbitmap mark(LoadBitmapA(nullptr, MAKEINTRESOURCEA(OBM_CHECK)));
    const COLORREF oldBk = SetBkColor(dc, box);
    DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(mark.get()), 0, rect.left + kCheckMarkLeft,
               rect.top + kCheckMarkTop, kCheckMarkWidth, rect.bottom - rect.top, DST_BITMAP);
    SetBkColor(dc, oldBk);
}

// Finds an item of a menu by the identifier a draw message names.
bool FindDrawnItem(HMENU menu, UINT itemId, MENUITEMINFOA& info, char* text) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (!ReadItemInfo(menu, static_cast<UINT>(i), info, text)) {
            continue;
        }
        const UINT drawnId = info.hSubMenu != nullptr
                                 ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.hSubMenu))
                                 : info.wID;
        if (drawnId == itemId || info.wID == itemId) {
            return true;
        }
    }
    return false;
}

} // namespace

void LoadMenuSettings(const std::string& themePath) {
    CMenuSettings& s = Settings();
    if (s.loaded) {
        return;
    }
    CThemeFile theme(themePath);
    auto colour = [&](const char* key, int sysColour) {
        return theme.Colour(kMenuSection, key, GetSysColor(sysColour));
    };
    s.bkColor = colour("BKColor", COLOR_MENUTEXT);
    s.horzBarColor = colour("HorzBarColor", COLOR_MENUTEXT);
    s.separatorColor = colour("SeparatorColor", COLOR_3DLIGHT);
    s.hilightBorder = colour("HilightBorder", COLOR_HIGHLIGHT);
    s.padding.imgPadding = theme.Int(kMenuSection, "ImgPadding", 6);
    s.padding.textPadding = theme.Int(kMenuSection, "TextPadding", 8);
    s.padding.menubarTextPadding = theme.Int(kMenuSection, "MenubarTextPadding", 4);
    s.loaded = true;
}

void PrepareMenu(HMENU menu, HWND owner) {
    if (menu == nullptr || GetPropA(owner, kSkinMenuProperty) == nullptr) {
        return;
    }
    auto& bySubmenu = TextBySubmenu();
    for (auto it = bySubmenu.begin(); it != bySubmenu.end();) {
        it = IsMenu(it->first) ? std::next(it) : bySubmenu.erase(it);
    }
    unique_hdc_window screenDC(nullptr);
    HDC screen = screenDC.get();
    unique_select_object selectFont(screen, GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    const CMenuItemHeights heights = MenuItemHeights(metrics.tmHeight);

    int widestLabel = 0, widestAccelerator = 0;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info;
        char text[kItemTextLimit + 1];
        if (!ReadItemInfo(menu, static_cast<UINT>(i), info, text)) {
            continue;
        }
        if (!(info.fType & MFT_OWNERDRAW)) {
            MENUITEMINFOA change{};
            change.cbSize = sizeof(change);
            change.fMask = MIIM_FTYPE;
            change.fType = info.fType | MFT_OWNERDRAW;
            SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &change);
            if (!(info.fType & MFT_SEPARATOR)) {
                if (info.hSubMenu != nullptr) {
                    bySubmenu[info.hSubMenu] = text;
                } else {
                    TextById()[info.wID] = text;
                }
            }
        }
        const MenuItemRecord record = RecordOf(info);
        if (record.text) {
            const CMenuText parts = SplitMenuText(*record.text);
            const unique_hfont font = ItemFont(screen, record.state & MFS_DEFAULT);
            unique_select_object selectItemFont(screen, font.get());
            widestLabel = std::max(widestLabel, TextWidth(screen, LabelForMeasure(parts.label)));
            widestAccelerator = std::max(widestAccelerator, TextWidth(screen, parts.accelerator));
        }
    }
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) {
            continue;
        }
        info.fMask = MIIM_DATA;
        info.dwItemData = (info.fType & MFT_SEPARATOR)
                              ? static_cast<ULONG_PTR>(heights.separator)
                              : PackMenuItemData(heights.item, widestAccelerator, widestLabel);
        SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
    }
}

void MeasureMenuItem(MEASUREITEMSTRUCT& item) {
    const CMenuItemSize size =
        MeasureMenuItemData(static_cast<std::uint32_t>(item.itemData), Settings().padding);
    item.itemWidth = static_cast<UINT>(size.width);
    item.itemHeight = static_cast<UINT>(size.height);
}

bool DrawMenuItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU) {
        return false;
    }
    MENUITEMINFOA info;
    char text[kItemTextLimit + 1];
    if (!FindDrawnItem(reinterpret_cast<HMENU>(item.hwndItem), item.itemID, info, text)) {
        return true;
    }
    const MenuItemRecord record = RecordOf(info);
    const bool selected = item.itemState & ODS_SELECTED;
    const bool hot = item.itemState & ODS_HOTLIGHT;
    const bool inactive = item.itemState & ODS_INACTIVE;
    const bool noAccel = item.itemState & ODS_NOACCEL;
    const bool grayed = record.state & MF_GRAYED;

    CBufferDC buffer(item.rcItem, item.hDC);
    HDC dc = buffer.get();
    if (dc == nullptr) {
        return true;
    }
    unique_select_object selectFont(dc, GetStockObject(DEFAULT_GUI_FONT));
    const bool deep = GetDeviceCaps(item.hDC, BITSPIXEL) > kLowColourDepth;
    const RECT& rect = item.rcItem;
    DrawBackground(dc, rect, record, selected || (hot && !inactive), deep);
    if (record.type & MFT_SEPARATOR) {
        DrawSeparator(dc, rect);
        return true;
    }
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    SetTextColor(dc, inactive ? GetSysColor(COLOR_BTNSHADOW)
                     : grayed ? Adjust(face, -18, 0)
                              : GetSysColor(COLOR_MENUTEXT));
    SetBkMode(dc, TRANSPARENT);
    UINT prefix = 0;
    BOOL cues = TRUE;
    SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    if (noAccel && !cues) {
        prefix = DT_HIDEPREFIX;
    }
    if (record.text) {
        const CMenuText parts = SplitMenuText(*record.text);
        if (!parts.label.empty()) {
            const unique_hfont font = ItemFont(dc, record.state & MFS_DEFAULT);
            unique_select_object selectItemFont(dc, font.get());
            RECT labelRect = rect;
            labelRect.left += kLabelLeft;
            DrawTextA(dc, parts.label.c_str(), static_cast<int>(parts.label.size()), &labelRect,
                      DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
        }
        if (!parts.accelerator.empty()) {
            RECT accelRect = rect;
            accelRect.right -= kAcceleratorRight;
            DrawTextA(dc, parts.accelerator.c_str(), static_cast<int>(parts.accelerator.size()), &accelRect,
                      DT_SINGLELINE | DT_VCENTER | DT_RIGHT | prefix);
        }
    }
    if (record.state & MFS_CHECKED) {
        DrawCheck(dc, rect, record, selected);
    }
    return true;
}
