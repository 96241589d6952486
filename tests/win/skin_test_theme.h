#pragma once
// Small themes written to a temporary folder for the skin library's tests:
// 24-bit BMP images drawn from colour functions, and theme.ini files.
#include "framework/gdi.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace skintest {

using PixelFn = std::function<COLORREF(int x, int y)>;

inline const COLORREF kKey = RGB(255, 0, 255);

inline bool WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0;
}

inline bool WriteBmp(const std::string& path, int width, int height, const PixelFn& pixel) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{sizeof(info), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::string bytes(sizeof(file) + sizeof(info) + static_cast<std::size_t>(stride) * height, '\0');
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = static_cast<DWORD>(bytes.size());
    std::copy_n(reinterpret_cast<const char*>(&file), sizeof(file), bytes.data());
    std::copy_n(reinterpret_cast<const char*>(&info), sizeof(info), bytes.data() + sizeof(file));
    for (int y = 0; y < height; ++y) {
        char* row = bytes.data() + file.bfOffBits + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            row[3 * x] = static_cast<char>(GetBValue(c));
            row[3 * x + 1] = static_cast<char>(GetGValue(c));
            row[3 * x + 2] = static_cast<char>(GetRValue(c));
        }
    }
    return WriteText(path, bytes);
}

// A fresh folder under the temporary folder, removed with its files when the object goes.
class CTempFolder {
public:
    CTempFolder() {
        static int counter = 0;
        m_path = (std::filesystem::temp_directory_path() /
                  ("skintest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter)))
                     .string();
        std::filesystem::create_directory(m_path);
    }
    ~CTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Each band's active and inactive halves.
struct CBandColours {
    COLORREF active, inactive;
};
inline const CBandColours kTop{RGB(200, 30, 30), RGB(110, 30, 30)};
inline const CBandColours kLeft{RGB(30, 200, 30), RGB(30, 110, 30)};
inline const CBandColours kRight{RGB(30, 30, 200), RGB(30, 30, 110)};
inline const CBandColours kBottom{RGB(200, 200, 30), RGB(110, 110, 30)};
// The last column of "Top", which is never drawn.
inline const COLORREF kUnusedColumn = RGB(1, 2, 3);
inline const COLORREF kTitle = RGB(255, 255, 0), kInactiveTitle = RGB(0, 255, 255);
inline const COLORREF kWindowText = RGB(230, 90, 160);
inline const COLORREF kTile = RGB(220, 220, 240), kTileCorner = RGB(90, 60, 30);

// Caption buttons, each with its own colour in every state column.
enum CaptionImage { kCloseImage, kMaxImage, kRestoreImage, kMinImage };
inline COLORREF CaptionColour(int image, int state) {
    return RGB(60 + 40 * image, 40 + 50 * state, 250);
}

// Frame images: top 40 x 48 (band 24), sides 8 x 30 (bands 4), bottom 40 x 8
// (band 4), each half in its band's colour but for the key-colour upper-left
// 2 x 2 pixels of each half of "Left". Caption buttons: four states of
// 10 x 8 (CaptionColour). Client tile: 7 x 5. Push button: five states of
// 10 x 20 filled with RGB(40 * state, 100, 100), with key-colour corners.
struct CFrameTheme {
    static constexpr int kBandTop = 24, kBandSide = 4, kBandBottom = 4;
    static constexpr int kTextShift = 30, kTopBotHeight = 5, kTileWidth = 7, kTileHeight = 5;
    static constexpr char kButtonCount[] = "ButtonCount=4";

    explicit CFrameTheme(const CTempFolder& folder) : m_folder(folder) {
        const auto halves = [](const CBandColours& band, bool acrossIsY, int thickness) {
            return
                [=](int x, int y) { return (acrossIsY ? y : x) < thickness ? band.active : band.inactive; };
        };
        const auto top = halves(kTop, true, kBandTop);
        WriteBmp(folder.File("top.bmp"), 40, 2 * kBandTop,
                 [=](int x, int y) { return x == 39 ? kUnusedColumn : top(x, y); });
        const auto left = halves(kLeft, false, kBandSide);
        WriteBmp(folder.File("left.bmp"), 2 * kBandSide, 30,
                 [=](int x, int y) { return x % kBandSide < 2 && y < 2 ? kKey : left(x, y); });
        WriteBmp(folder.File("right.bmp"), 2 * kBandSide, 30, halves(kRight, false, kBandSide));
        WriteBmp(folder.File("bottom.bmp"), 40, 2 * kBandBottom, halves(kBottom, true, kBandBottom));
        const char* names[] = {"close.bmp", "max.bmp", "restore.bmp", "min.bmp"};
        for (int image = 0; image < 4; ++image) {
            WriteBmp(folder.File(names[image]), 40, 8,
                     [=](int x, int) { return CaptionColour(image, x / 10); });
        }
        WriteBmp(folder.File("tile.bmp"), kTileWidth, kTileHeight,
                 [](int x, int y) { return x == 0 && y == 0 ? kTileCorner : kTile; });
        WriteBmp(folder.File("button.bmp"), 50, 20, [](int x, int y) {
            const bool corner = (x % 10 == 0 || x % 10 == 9) && (y == 0 || y == 19);
            return corner ? kKey : RGB(x / 10 * 40, 100, 100);
        });
    }

    // theme.ini: the given "Personality" lines first (the profile reader takes
    // the first of duplicate keys), then the defaults, then further sections,
    // then "Colours" with the given lines before its defaults.
    std::string Write(const std::string& personality, const std::string& sections = "",
                      const std::string& colours = "") const {
        const std::string ini =
            "[Personality]\r\n" + personality +
            "\r\nDialogBmp=tile.bmp\r\nTop=top.bmp\r\nLeft=pic\\left.bmp\r\nRight=right.bmp\r\n"
            "Bottom=bottom.bmp\r\nTopTopHeight=5\r\nTopBotHeight=5\r\nLeftTopHeight=10\r\nLeftBotHeight=4\r\n"
            "RightTopHeight=10\r\nRightBotHeight=4\r\nBottomTopHeight=4\r\nBottomBotHeight=4\r\nTextShift="
            "30\r\n" +
            sections + "\r\n[Colours]\r\n" + colours +
            "\r\nTitleText=255 255 0\r\nInactiveTitleText=0 255 255\r\nWindowText=230 90 160\r\n";
        // A new name every time: the platform may cache a profile it has read.
        const std::string path = m_folder.File("theme" + std::to_string(++m_written) + ".ini");
        WriteText(path, ini);
        return path;
    }

    // Close at XCoord 14, maximize (and restore) at 26, minimize at 38, all at YCoord 1.
    static std::string CaptionButtons() {
        return "[Button0]\r\nButtonImage=close.bmp\r\nAction=0\r\nXCoord=14\r\nYCoord=1\r\n"
               "[Button1]\r\nButtonImage=max.bmp\r\nAction=1\r\nXCoord=26\r\nYCoord=1\r\n"
               "[Button2]\r\nButtonImage=restore.bmp\r\nAction=1\r\nXCoord=26\r\nYCoord=1\r\n"
               "[Button3]\r\nButtonImage=min.bmp\r\nAction=2\r\nXCoord=38\r\nYCoord=1\r\n";
    }

private:
    const CTempFolder& m_folder;
    mutable int m_written = 0;
};

// A top-level window whose own procedure records the messages it gets and
// only records WM_CLOSE.
class CRecordingWindow {
public:
    explicit CRecordingWindow(DWORD style = WS_OVERLAPPEDWINDOW, int x = 100, int y = 100, int w = 300,
                              int h = 200) {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"SkinTestWindow";
            wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
            return RegisterClassW(&wc);
        }();
        (void)atom;
        m_hwnd = CreateWindowExW(0, L"SkinTestWindow", L"skin test", style, x, y, w, h, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), this);
    }
    ~CRecordingWindow() {
        if (IsWindow(m_hwnd)) {
            DestroyWindow(m_hwnd);
        }
    }
    CRecordingWindow(const CRecordingWindow&) = delete;
    CRecordingWindow& operator=(const CRecordingWindow&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    bool Saw(UINT message, WPARAM wParam) const {
        return std::any_of(seen.begin(), seen.end(),
                           [&](const MSG& m) { return m.message == message && m.wParam == wParam; });
    }
    int Count(UINT message) const {
        return static_cast<int>(
            std::count_if(seen.begin(), seen.end(), [&](const MSG& m) { return m.message == message; }));
    }

    std::vector<MSG> seen;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(
                hwnd, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        if (auto* self = reinterpret_cast<CRecordingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            self->seen.push_back({hwnd, message, wParam, lParam, 0, {}});
            if (message == WM_CLOSE) {
                return 0;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
};

// A bitmap compatible with the screen; the caller owns it.
inline HBITMAP ScreenBitmap(int width, int height) {
    unique_hdc_window screen(nullptr);
    return CreateCompatibleBitmap(screen.get(), width, height);
}

// What a window shows, read back through its DC: the whole window, frame
// included, or its client area.
class CWindowPicture {
public:
    explicit CWindowPicture(HWND hwnd, unique_hdc_window::Area which = unique_hdc_window::kWholeWindow) {
        RECT r{};
        if (which == unique_hdc_window::kWholeWindow) {
            GetWindowRect(hwnd, &r);
        } else {
            GetClientRect(hwnd, &r);
        }
        width = r.right - r.left;
        height = r.bottom - r.top;
        m_pixels.assign(static_cast<std::size_t>(width) * height, 0);
        unique_hdc_window window(hwnd, which);
        unique_hdc memory(CreateCompatibleDC(window.get()));
        unique_hbitmap bitmap(CreateCompatibleBitmap(window.get(), width, height));
        {
            unique_select_object select(memory.get(), bitmap.get());
            BitBlt(memory.get(), 0, 0, width, height, window.get(), 0, 0, SRCCOPY);
        }
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        GetDIBits(memory.get(), bitmap.get(), 0, height, m_pixels.data(), &info, DIB_RGB_COLORS);
        for (DWORD& p : m_pixels) { // 0x00RRGGBB to a colour reference
            p = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        }
    }

    COLORREF At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height ? m_pixels[static_cast<std::size_t>(y) * width + x]
                                                           : CLR_INVALID;
    }
    // Pixels of a colour in [left, right) x [top, bottom).
    int Count(COLORREF colour, RECT area) const {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                n += At(x, y) == colour;
            }
        }
        return n;
    }
    int Count(COLORREF colour) const { return Count(colour, {0, 0, width, height}); }
    // The smallest rectangle holding every pixel of [left, right) x [top,
    // bottom) that matches; empty when there is none.
    RECT Extent(const std::function<bool(COLORREF)>& matches, RECT area) const {
        RECT e{area.right, area.bottom, area.left, area.top};
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                if (matches(At(x, y))) {
                    e = {std::min<LONG>(e.left, x), std::min<LONG>(e.top, y), std::max<LONG>(e.right, x + 1),
                         std::max<LONG>(e.bottom, y + 1)};
                }
            }
        }
        return e.right > e.left ? e : RECT{};
    }

    int width = 0, height = 0;

private:
    std::vector<DWORD> m_pixels;
};

// Pumps the thread's queue so that posted and painting messages are handled.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace skintest
