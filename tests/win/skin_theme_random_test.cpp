// The theme file end to end, from random files: whatever a user (or a broken
// update) puts into theme.ini and its images, InitSkin, skinning a dialog and
// its buttons, painting and hit-testing it at any size, and ReleaseSkin
// neither crash nor hang.
#include "framework/window.h"
#include "skin/skin.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

using skintest::CFrameTheme;
using skintest::CRecordingWindow;
using skintest::CTempFolder;

constexpr int kThemes = 150;
constexpr int kButtonId = 11;

const std::vector<std::string> kNumbers = {"0",           "1",          "2",     "4",           "-1",  "40",
                                           "-2147483648", "2147483647", "65536", "99999999999", "abc", "",
                                           "12 abc",      " 7",         "0x10"};
const std::vector<std::string> kColours = {"255 0 255", "1 2",   "999 -5 7", "  ",          "a b c",
                                           "1\t2\t3",   "0 0 0", "",         "256 256 256", "-1 -1 -1"};
const std::vector<std::string> kImages = {"top.bmp",       "left.bmp",    "button.bmp", "close.bmp",
                                          "nothing.bmp",   "garbage.bmp", "tiny.bmp",   "empty.bmp",
                                          "wide.bmp",      "tall.bmp",    "cut.bmp",    "",
                                          "c:\\x\\top.bmp"};

const char* const kPersonalityNumbers[] = {
    "TopTopHeight",   "TopBotHeight",    "LeftTopHeight",   "LeftBotHeight", "RightTopHeight",
    "RightBotHeight", "BottomTopHeight", "BottomBotHeight", "ButtonCount",   "ButtonImgCount",
    "TextShift",      "TextShiftVert",   "UsesTran"};
const char* const kPersonalityImages[] = {"DialogBmp", "Top", "Left", "Right", "Bottom"};
const char* const kColourKeys[] = {"TitleText", "InactiveTitleText", "TransColor", "WindowText"};
const char* const kMenuColours[] = {"BKColor",     "HorzBarColor", "SeparatorColor",   "HilightBorder",
                                    "BorderColor", "TextColor",    "HilightTextColor", "HilightBKColor"};
const char* const kButtonsNumbers[] = {"TopHeight", "BottomHeight", "LeftWidth", "RightWidth", "Trans"};
const char* const kCaptionNumbers[] = {"Action", "XCoord", "YCoord"};

class CRandomTheme {
public:
    explicit CRandomTheme(unsigned seed) : random(seed) {}

    template <typename Pool> const std::string& Pick(const Pool& pool) {
        return pool[random() % pool.size()];
    }
    // A usual value most of the time, so that loading gets far enough to paint.
    std::string Number() { return random() % 3 ? std::to_string(random() % 12) : Pick(kNumbers); }
    std::string Line(const char* key, const std::string& value) {
        return std::string(key) + "=" + value + "\r\n";
    }
    std::string Noise() {
        std::string text(random() % 40, '\0');
        for (char& c : text) {
            c = static_cast<char>(random() % 255 + 1);
        }
        return text;
    }

    std::string Text() {
        std::string ini = "[Personality]\r\n";
        for (const char* key : kPersonalityImages) {
            ini +=
                Line(key, random() % 4 ? std::string(key == std::string("DialogBmp") ? "top" : key) + ".bmp"
                                       : Pick(kImages));
        }
        for (const char* key : kPersonalityNumbers) {
            if (random() % 5) {
                ini += Line(key, Number());
            }
        }
        for (int i = 0; i < 6; ++i) {
            ini += "[Button" + std::to_string(i) + "]\r\n";
            for (const char* key : kCaptionNumbers) {
                ini += Line(key, Number());
            }
            ini += Line("ButtonImage", random() % 3 ? "close.bmp" : Pick(kImages));
        }
        ini += "[Colours]\r\n";
        for (const char* key : kColourKeys) {
            ini += Line(key, Pick(kColours));
        }
        ini += "[Buttons]\r\n" + Line("Bitmap", random() % 3 ? "button.bmp" : Pick(kImages));
        for (const char* key : kButtonsNumbers) {
            ini += Line(key, Number());
        }
        ini += "[Menu]\r\n";
        for (const char* key : kMenuColours) {
            ini += Line(key, Pick(kColours));
        }
        if (random() % 4 == 0) {
            ini.insert(random() % ini.size(), Noise());
        }
        return ini;
    }

    std::mt19937 random;
};

// The images a theme may name beside the good ones: none, broken, odd sizes.
void WriteOddImages(const CTempFolder& folder) {
    const auto plain = [](int, int) { return RGB(10, 20, 30); };
    skintest::WriteText(folder.File("garbage.bmp"), "this is no picture at all");
    skintest::WriteText(folder.File("empty.bmp"), "");
    skintest::WriteBmp(folder.File("tiny.bmp"), 1, 1, plain);
    skintest::WriteBmp(folder.File("wide.bmp"), 2000, 1, plain);
    skintest::WriteBmp(folder.File("tall.bmp"), 1, 2000, plain);
    skintest::WriteBmp(folder.File("whole.bmp"), 30, 30, plain);
    std::string cut;
    FILE* f = std::fopen(folder.File("whole.bmp").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    cut.resize(200);
    cut.resize(std::fread(cut.data(), 1, cut.size(), f));
    std::fclose(f);
    skintest::WriteText(folder.File("cut.bmp"), cut);
}

} // namespace

TEST(SkinThemeRandom, AnyThemeFileLoadsPaintsAndReleases) {
    CTempFolder folder;
    CFrameTheme images(folder);
    WriteOddImages(folder);
    // One window for every theme: under Wine each captioned window that goes stalls.
    CRecordingWindow window;
    CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 60, 24, window.Hwnd(),
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), nullptr, nullptr);
    ShowWindow(window.Hwnd(), SW_SHOWNOACTIVATE);
    const auto start = std::chrono::steady_clock::now();
    int loaded = 0;
    for (int n = 0; n < kThemes; ++n) {
        CRandomTheme theme(static_cast<unsigned>(n));
        // A new name every time: the platform may cache a profile it has read.
        const std::string path = folder.File("random" + std::to_string(n) + ".ini");
        ASSERT_TRUE(skintest::WriteText(path, theme.Text()));
        SCOPED_TRACE("theme " + std::to_string(n));
        loaded += InitSkin(path.c_str());

        CWindow object;
        object.Attach(window.Hwnd());
        InstallDlgSkin(&object);
        InstallCtlSkin(window.Hwnd(), kButtonId);
        static const SIZE sizes[] = {{0, 0}, {1, 1}, {50, 30}, {640, 480}};
        const SIZE size = sizes[theme.random() % std::size(sizes)];
        SetWindowPos(window.Hwnd(), nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RedrawWindow(window.Hwnd(), nullptr, nullptr,
                     RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageW(window.Hwnd(), WM_NCACTIVATE, FALSE, 0);
        for (POINT p : {POINT{101, 101}, POINT{150, 105}, POINT{100 + size.cx - 2, 100 + size.cy - 2}}) {
            SendMessageW(window.Hwnd(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
        }
        SendMessageW(GetDlgItem(window.Hwnd(), kButtonId), BM_SETSTATE, TRUE, 0);
        skintest::Pump();
        ReleaseSkin();
        object.Detach();
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d random themes (%d loaded whole) in %lld s\n", kThemes, loaded,
                static_cast<long long>(seconds));
    // Enough of them must load whole to reach the painting.
    EXPECT_GT(loaded, kThemes / 10);
}
