#include "skin/skin_win.h"
#include "skin/theme_reader.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using skintest::CFrameTheme;
using skintest::CTempFolder;

TEST(SkinTheme, ValuesFromTheFile) {
    CTempFolder folder;
    const std::string path = folder.File("values.ini");
    const std::string longValue = std::string(1500, 'a') + "\\top.bmp";
    skintest::WriteText(path, "[Colours]\r\nMagenta=255 0 255\r\nBlack=0 0 0\r\nEmpty=\r\nLong=" + longValue +
                                  "\r\n");
    const COLORREF fallback = RGB(1, 2, 3);
    const struct {
        const char* key;
        COLORREF expected;
    } cases[] = {
        {"Magenta", RGB(255, 0, 255)}, {"Black", RGB(0, 0, 0)}, {"Empty", fallback}, {"Absent", fallback}};
    CThemeFile theme(path);
    for (const auto& c : cases) {
        EXPECT_EQ(theme.Colour("Colours", c.key, fallback), c.expected) << c.key;
    }
    EXPECT_EQ(CThemeFile(folder.File("missing.ini")).Colour("Colours", "Magenta", fallback), fallback);
    EXPECT_EQ(theme.String("Colours", "Long"), longValue) << "long values are read whole";
    EXPECT_EQ(theme.Int("Colours", "Absent", 4), 4);
}

// The theme is read a section at a time; every value must read as the
// platform's own read of that one key gives it.
TEST(SkinTheme, SectionReadsMatchThePlatformsKeyReads) {
    CTempFolder folder;
    const std::string path = folder.File("values.ini");
    skintest::WriteText(path, "; a comment\r\n[Personality]\r\n  Spaced  =  12 px  \r\nSpaced=99\r\n"
                              "spaced=98\r\nHex=0x1f\r\nNeg=-7\r\nQuoted=\"34\"\r\nSingle='x y'\r\n"
                              "Half=\"56\r\nNoValue\r\n;Commented=1\r\nEmpty=\r\nWide=4294967295\r\n"
                              "Letters=abc\r\n[personality]\r\nLater=1\r\n[Other]\r\nHex=3\r\n");
    CThemeFile theme(path);
    for (const char* section : {"Personality", "PERSONALITY", "Other", "Absent"}) {
        for (const char* key : {"Spaced", "SPACED", "Hex", "Neg", "Quoted", "Single", "Half", "NoValue",
                                "Commented", "Empty", "Wide", "Letters", "Later", "Absent"}) {
            char expected[256] = {};
            GetPrivateProfileStringA(section, key, "", expected, sizeof expected, path.c_str());
            EXPECT_EQ(theme.String(section, key), expected) << section << " " << key;
            EXPECT_EQ(theme.Int(section, key, 5),
                      static_cast<int>(GetPrivateProfileIntA(section, key, 5, path.c_str())))
                << section << " " << key;
        }
    }
}

TEST(SkinTheme, FrameLoadsOnlyWithEveryRequiredImage) {
    CTempFolder folder;
    CFrameTheme theme(folder);
    const std::string buttons = CFrameTheme::CaptionButtons();
    skintest::WriteText(folder.File("garbage.bmp"), "this is no picture at all");
    const struct {
        const char* name;
        std::string personality, sections;
        bool loaded;
    } cases[] = {
        {"complete", CFrameTheme::kButtonCount, buttons, true},
        {"no caption buttons", "ButtonCount=0", buttons, true},
        {"band missing", "Bottom=", "", false},
        {"band not loading", "Right=nothing.bmp", "", false},
        {"band no picture", "Right=garbage.bmp", "", false},
        // Images come from the theme's folder whatever folder the value names.
        {"band in another folder", "Right=c:\\elsewhere\\right.bmp", "", true},
        {"band in a long folder", "Right=" + std::string(300, 'f') + "\\right.bmp", "", true},
        {"optional tile not loading", "DialogBmp=nothing.bmp", "", true},
        {"close image missing", "ButtonCount=1", "[Button0]\r\nAction=0\r\nButtonImage=nothing.bmp", false},
        {"minimize image empty", "ButtonCount=1", "[Button0]\r\nAction=2", false},
        {"unknown action skipped", "ButtonCount=1", "[Button0]\r\nAction=7\r\nButtonImage=nothing.bmp", true},
        {"zero state images", "ButtonCount=4\r\nButtonImgCount=0", buttons, true},
        // A third maximize section loads into the restore image again.
        {"image replaced", "ButtonCount=5", buttons + "[Button4]\r\nAction=1\r\nButtonImage=max.bmp", true},
    };
    for (const auto& c : cases) {
        CSkinWin frame(theme.Write(c.personality, c.sections));
        EXPECT_EQ(frame.IsLoaded(), c.loaded) << c.name;
    }
    EXPECT_FALSE(CSkinWin("").IsLoaded());
}

} // namespace
