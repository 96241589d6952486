#include "controls/picture_ex.h"
#include "controls_test_support.h"
#include "framework/gdiplus_session.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using namespace controlstest;

constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);
const std::vector<COLORREF> kPalette = {kRed, kBlue};
constexpr int kImageWidth = 20, kImageHeight = 10;
constexpr int kControlWidth = 60, kControlHeight = 40;
constexpr WORD kGifId = 123, kJunkId = 124, kMissingId = 125;

// Red on the left half, blue on the right.
std::string HalvesGif() {
    std::vector<uint8_t> indices;
    for (int y = 0; y < kImageHeight; ++y) {
        for (int x = 0; x < kImageWidth; ++x) {
            indices.push_back(x < kImageWidth / 2 ? 0 : 1);
        }
    }
    return Gif(kImageWidth, kImageHeight, kPalette, {{0, indices}});
}

// Red for 50 ms, then blue for the 100 ms that a delay of 0 stands for.
std::string BlinkGif() {
    return Gif(kImageWidth, kImageHeight, kPalette,
               {{5, std::vector<uint8_t>(kImageWidth * kImageHeight, 0)},
                {0, std::vector<uint8_t>(kImageWidth * kImageHeight, 1)}});
}

int ThreadCount() {
    unique_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    return count;
}

TEST(PictureDestination, KeepsOddValuesAndLargePicturesInBounds) {
    const SIZE control{100, 50};
    const struct {
        SIZE image;
        int horz, vert;
        RECT expected;
    } cases[] = {
        {{40, 20}, 7, -1, {0, 0, 100, 50}},     // out of range: stretched
        {{40, 20}, 4, 2, {0, 30, 100, 50}},     // tiling is decided before
        {{120, 70}, 0, 0, {-10, -10, 110, 60}}, // clipped evenly on both sides
    };
    for (const auto& c : cases) {
        const RECT r = PictureDestination(control, c.image, c.horz, c.vert);
        EXPECT_TRUE(EqualRect(&r, &c.expected))
            << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

class CPictureExTest : public CDialogSuite<CPictureExTest> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_gdiplus);
        ASSERT_TRUE(s_dialog->MakeControl(L"STATIC", SS_LEFT, L"",
                                          {20, 20, 20 + kControlWidth, 20 + kControlHeight}));
        ASSERT_TRUE(skintest::WriteText(m_folder.File("halves.gif"), HalvesGif()));
        ASSERT_TRUE(skintest::WriteText(m_folder.File("blink.gif"), BlinkGif()));
        ASSERT_TRUE(m_picture.Attach(s_dialog->Control()));
    }
    void TearDown() override { DestroyWindow(s_dialog->Control()); }

    COLORREF At(int x, int y) {
        Redraw(s_dialog->GetSafeHwnd());
        return Pixel(s_dialog->Control(), x, y);
    }
    // The colours the control's centre showed while pumping for ms.
    std::set<COLORREF> CentreColours(DWORD ms) {
        std::set<COLORREF> seen;
        PumpUntil(
            [&] {
                seen.insert(Pixel(s_dialog->Control(), kControlWidth / 2, kControlHeight / 2));
                return false;
            },
            ms);
        return seen;
    }

    unique_gdiplus_token m_gdiplus = GdiplusStartupScoped();
    CTempFolder m_folder;
    const std::wstring m_halves = Wide(m_folder.File("halves.gif")),
                       m_blink = Wide(m_folder.File("blink.gif"));
    CPictureEx m_picture;
};

TEST_F(CPictureExTest, PaintsByBackgroundModeAndAlignment) {
    ASSERT_TRUE(m_picture.LoadFromFile(m_halves));
    EXPECT_EQ(m_picture.GetFrameCount(), 1u);
    EXPECT_FALSE(m_picture.IsAnimating()) << "a single frame starts no worker";
    m_picture.SetBkColor(kYellow);
    const COLORREF parent = CTestDialog::kBackground;
    // The 20 x 10 picture in the 60 x 40 control; centred it covers (20, 15) to (40, 25).
    const struct {
        const char* name;
        int mode, horz, vert;
        POINT at;
        COLORREF expected;
    } cases[] = {
        {"centred", 0, 0, 0, {25, 20}, kRed},
        {"solid background", 0, 0, 0, {2, 2}, kYellow},
        {"parent background", 2, 0, 0, {2, 2}, parent},
        {"transparent", 1, 0, 0, {2, 2}, parent},
        {"transparent, picture", 1, 0, 0, {35, 20}, kBlue},
        {"top left", 0, 1, 1, {15, 5}, kBlue},
        {"top left, outside", 0, 1, 1, {25, 5}, kYellow},
        {"bottom right", 0, 2, 2, {41, 31}, kRed},
        {"bottom right, outside", 0, 2, 2, {38, 28}, kYellow},
        {"stretched", 0, 3, 3, {2, 2}, kRed},
        {"stretched, far corner", 0, 3, 3, {55, 35}, kBlue},
        {"stretched across, centred down", 0, 3, 0, {50, 20}, kBlue},
        {"stretched across, above", 0, 3, 0, {50, 10}, kYellow},
        {"tiled, second column", 0, 4, 0, {25, 5}, kRed},
        {"tiled, second row", 2, 0, 4, {15, 15}, kBlue},
        {"tiled, third column", 1, 4, 4, {45, 35}, kRed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_picture.SetBkMode(c.mode);
        m_picture.SetHorzAlign(c.horz);
        m_picture.SetVertAlign(c.vert);
        EXPECT_EQ(At(c.at.x, c.at.y), c.expected);
    }
}

TEST_F(CPictureExTest, AnimatesEachFrameForItsOwnDelay) {
    ASSERT_TRUE(m_picture.LoadFromFile(m_blink));
    ASSERT_EQ(m_picture.GetFrameCount(), 2u);
    ASSERT_TRUE(m_picture.IsAnimating());
    // How long each frame stayed, sampled from this thread.
    std::vector<DWORD> shown[2];
    UINT frame = m_picture.GetCurrentFrame();
    DWORD since = GetTickCount();
    bool firstRun = true;
    PumpUntil(
        [&] {
            const UINT now = m_picture.GetCurrentFrame();
            if (now != frame) {
                if (!firstRun) {
                    shown[frame].push_back(GetTickCount() - since);
                }
                firstRun = false;
                frame = now;
                since = GetTickCount();
            }
            return shown[0].size() >= 5 && shown[1].size() >= 5;
        },
        4000);
    ASSERT_GE(shown[0].size(), 5u);
    ASSERT_GE(shown[1].size(), 5u);
    for (auto& runs : shown) {
        std::sort(runs.begin(), runs.end());
    }
    // Middle runs: this thread sees a frame start late now and then when the machine is busy.
    EXPECT_GE(shown[0][2], 40u);
    EXPECT_GE(shown[1][2], 85u) << "a delay of 0 stands for 100 ms";
    // Lower bounds alone would pass if every frame got the default delay.
    EXPECT_LT(shown[0][2] * 4, shown[1][2] * 3) << "the first frame keeps its own, shorter delay";
    EXPECT_EQ(CentreColours(400), (std::set<COLORREF>{kRed, kBlue}));
}

TEST_F(CPictureExTest, EachLoadStopsThePreviousAnimation) {
    CResourceModule resources;
    resources.Add(L"GIF", kGifId, BlinkGif());
    resources.Add(L"GIF", kJunkId, "GIF89a, but no more");
    HMODULE module = resources.Load();
    ASSERT_TRUE(module);
    const int threads = ThreadCount();

    ASSERT_TRUE(m_picture.LoadFromResource(module, MAKEINTRESOURCEW(kGifId), L"GIF"));
    ASSERT_TRUE(m_picture.IsAnimating());
    EXPECT_EQ(ThreadCount(), threads + 1);
    EXPECT_FALSE(m_picture.LoadFromResource(module, MAKEINTRESOURCEW(kMissingId), L"GIF"));
    EXPECT_TRUE(m_picture.IsAnimating()) << "a missing resource keeps the current picture";

    ASSERT_TRUE(m_picture.LoadFromFile(m_halves));
    EXPECT_EQ(ThreadCount(), threads) << "the worker has ended before the load returns";
    EXPECT_FALSE(m_picture.IsAnimating());
    EXPECT_EQ(m_picture.GetCurrentFrame(), 0u);
    Redraw(s_dialog->GetSafeHwnd());
    EXPECT_EQ(CentreColours(300), (std::set<COLORREF>{kBlue})) << "no worker turns the old frames any more";

    ASSERT_TRUE(m_picture.LoadFromFile(m_blink));
    ASSERT_TRUE(m_picture.IsAnimating());
    EXPECT_FALSE(m_picture.LoadFromResource(module, MAKEINTRESOURCEW(kJunkId), L"GIF"));
    EXPECT_FALSE(m_picture.HasImage());
    EXPECT_FALSE(m_picture.IsAnimating());
    EXPECT_FALSE(m_picture.LoadFromFile(Wide(m_folder.File("missing.gif"))));
    EXPECT_FALSE(m_picture.HasImage());
}

TEST_F(CPictureExTest, DetachesAndStopsWhenTheControlGoes) {
    const HWND control = s_dialog->Control();
    const auto ours = GetWindowLongPtrW(control, GWLP_WNDPROC);
    EXPECT_EQ(GetPropW(control, L"PicEx_Prop"), &m_picture);
    EXPECT_FALSE(m_picture.Attach(control)) << "attached already";
    m_picture.Detach();
    EXPECT_EQ(GetPropW(control, L"PicEx_Prop"), nullptr);
    EXPECT_NE(GetWindowLongPtrW(control, GWLP_WNDPROC), ours) << "the static's own procedure is back";

    ASSERT_TRUE(m_picture.Attach(control));
    ASSERT_TRUE(m_picture.LoadFromFile(m_blink));
    ASSERT_TRUE(m_picture.IsAnimating());
    PumpUntil([&] { return m_picture.GetCurrentFrame() == 1; });
    DestroyWindow(control);
    EXPECT_EQ(m_picture.GetControl(), nullptr);
    EXPECT_FALSE(m_picture.IsAnimating());
    EXPECT_FALSE(m_picture.HasImage());
}

} // namespace
