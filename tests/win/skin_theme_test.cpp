#include "skin/skin_win.h"
#include "skin/theme_reader.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using skintest::CFrameTheme;
using skintest::CTempFolder;

TEST(SkinTheme, ColoursFromTheFile) {
    CTempFolder folder;
    const std::string path = folder.File("colours.ini");
    skintest::WriteText(path,
                        "[Colours]\r\nMagenta=255 0 255\r\nBlack=0 0 0\r\nEmpty=\r\nWrapped=256 300 -1\r\n"
                        "Commas=0,128,0\r\n");
    const COLORREF fallback = RGB(1, 2, 3);
    const struct {
        const char* key;
        COLORREF expected;
    } cases[] = {{"Magenta", RGB(255, 0, 255)}, {"Black", RGB(0, 0, 0)},      {"Empty", fallback},
                 {"Absent", fallback},          {"Wrapped", RGB(0, 44, 255)}, {"Commas", RGB(0, 0, 0)}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReadColour("Colours", c.key, path, fallback), c.expected) << c.key;
    }
    EXPECT_EQ(ReadColour("Colours", "Magenta", folder.File("missing.ini"), fallback), fallback);
}

TEST(SkinTheme, LongValuesAreReadWhole) {
    CTempFolder folder;
    const std::string path = folder.File("long.ini");
    const std::string value = std::string(1500, 'a') + "\\top.bmp";
    skintest::WriteText(path, "[Personality]\r\nTop=" + value + "\r\n");
    EXPECT_EQ(ReadProfileString("Personality", "Top", path), value);
    EXPECT_EQ(ReadProfileInt("Personality", "Absent", 4, path), 4);
}

TEST(SkinTheme, ImagesComeFromTheThemeFolderWhateverFolderTheValueNames) {
    CTempFolder folder;
    CFrameTheme theme(folder);
    const std::string path =
        theme.Write("", "[Images]\r\nOther=c:\\elsewhere\\top.bmp\r\nLong=" + std::string(300, 'f') +
                            "\\top.bmp\r\nMissing=none.bmp\r\n");
    const struct {
        const char* key;
        bool loads;
    } cases[] = {{"Other", true}, {"Long", true}, {"Missing", false}, {"Absent", false}};
    for (const auto& c : cases) {
        CMyBitmap bitmap;
        EXPECT_EQ(LoadThemeImage("Images", c.key, path, bitmap), c.loads) << c.key;
        EXPECT_EQ(bitmap.HasImage(), c.loads) << c.key;
    }
    // A bitmap already held is replaced.
    CMyBitmap bitmap;
    ASSERT_TRUE(LoadThemeImage("Images", "Other", path, bitmap));
    EXPECT_TRUE(LoadThemeImage("Images", "Other", path, bitmap));
}

TEST(SkinTheme, FrameLoadsOnlyWithEveryRequiredImage) {
    CTempFolder folder;
    CFrameTheme theme(folder);
    const std::string buttons = CFrameTheme::CaptionButtons();
    const struct {
        const char* name;
        std::string personality, sections;
        bool loaded;
    } cases[] = {
        {"complete", CFrameTheme::kButtonCount, buttons, true},
        {"no caption buttons", "ButtonCount=0", buttons, true},
        {"band missing", "Bottom=", "", false},
        {"band not loading", "Right=nothing.bmp", "", false},
        {"optional tile not loading", "DialogBmp=nothing.bmp", "", true},
        {"close image missing", "ButtonCount=1", "[Button0]\r\nAction=0\r\nButtonImage=nothing.bmp", false},
        {"minimize image empty", "ButtonCount=1", "[Button0]\r\nAction=2", false},
        {"unknown action skipped", "ButtonCount=1", "[Button0]\r\nAction=7\r\nButtonImage=nothing.bmp", true},
        {"zero state images", "ButtonCount=4\r\nButtonImgCount=0", buttons, true},
    };
    for (const auto& c : cases) {
        const std::string path = theme.Write(c.personality, c.sections);
        CSkinWin frame(path);
        EXPECT_EQ(frame.IsLoaded(), c.loaded) << c.name;
    }
    CSkinWin noTheme("");
    EXPECT_FALSE(noTheme.IsLoaded());
}

} // namespace
