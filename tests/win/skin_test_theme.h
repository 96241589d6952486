#pragma once
// Small themes written to a temporary folder for the skin library's tests:
// 24-bit BMP images drawn from colour functions, and theme.ini files.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace skintest {

using PixelFn = std::function<COLORREF(int x, int y)>;

inline const COLORREF kKey = RGB(255, 0, 255);
inline const COLORREF kActive = RGB(20, 60, 160);
inline const COLORREF kInactive = RGB(150, 150, 150);

inline bool WriteBmp(const std::string& path, int width, int height, const PixelFn& pixel) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + static_cast<std::size_t>(height - 1 - y) * stride; // bottom-up
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(rows.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info, sizeof(info), 1, f);
    std::fwrite(rows.data(), 1, rows.size(), f);
    return std::fclose(f) == 0;
}

inline bool WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0;
}

// A fresh folder under the temporary folder, removed with its files when the object goes.
class CTempFolder {
public:
    CTempFolder() {
        char base[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, base);
        static int counter = 0;
        char name[MAX_PATH];
        std::snprintf(name, sizeof(name), "%sskintest_%lu_%d", base, GetCurrentProcessId(), ++counter);
        path_ = name;
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~CTempFolder() {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((path_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Frame images: top 40 x 20 (band 10), sides 8 x 30 (bands 4), bottom 40 x 8
// (band 4). Active halves in kActive, inactive in kInactive. The upper-left
// pixel block of "Left" (rows 0-1, columns 0-1 of each half) is the key.
// Caption buttons: four states of 10 x 8; state i is filled with RGB(i, 200, 0).
struct CFrameTheme {
    static constexpr int kBandTop = 10, kBandSide = 4, kBandBottom = 4;
    static constexpr int kButtonWidth = 10, kButtonHeight = 8;

    explicit CFrameTheme(const CTempFolder& folder) : folder_(folder) {
        auto halves = [](bool horizontal, int split) {
            return [horizontal, split](int x, int y) {
                return (horizontal ? y : x) < split ? kActive : kInactive;
            };
        };
        WriteBmp(folder.File("top.bmp"), 40, 2 * kBandTop, halves(true, kBandTop));
        WriteBmp(folder.File("left.bmp"), 2 * kBandSide, 30, [](int x, int y) {
            const int inHalf = x % kBandSide;
            return (inHalf < 2 && y < 2) ? kKey : (x < kBandSide ? kActive : kInactive);
        });
        WriteBmp(folder.File("right.bmp"), 2 * kBandSide, 30, halves(false, kBandSide));
        WriteBmp(folder.File("bottom.bmp"), 40, 2 * kBandBottom, halves(true, kBandBottom));
        for (const char* name : {"close.bmp", "max.bmp", "restore.bmp", "min.bmp"}) {
            WriteBmp(folder.File(name), 4 * kButtonWidth, kButtonHeight,
                     [](int x, int) { return RGB(x / kButtonWidth, 200, 0); });
        }
        WriteBmp(folder.File("button.bmp"), 50, 20, [](int x, int y) {
            // Five states of 10 x 20; the corner pixels of each are the key.
            const int inState = x % 10;
            const bool corner = (inState == 0 || inState == 9) && (y == 0 || y == 19);
            return corner ? kKey : RGB(x / 10 * 40, 100, 100);
        });
    }

    // theme.ini: the given "Personality" lines first (the profile reader takes
    // the first of duplicate keys), then the defaults, then further sections.
    std::string Write(const std::string& personality, const std::string& sections = "") const {
        const std::string ini =
            "[Personality]\r\n" + personality +
            "\r\nTop=top.bmp\r\nLeft=pic\\left.bmp\r\nRight=right.bmp\r\nBottom=bottom.bmp\r\n"
            "TopTopHeight=5\r\nTopBotHeight=5\r\nLeftTopHeight=10\r\nLeftBotHeight=4\r\n"
            "RightTopHeight=10\r\nRightBotHeight=4\r\nBottomTopHeight=4\r\nBottomBotHeight=4\r\n" +
            sections;
        // A new name every time: the platform may cache a profile it has read.
        const std::string path = folder_.File("theme" + std::to_string(++written_) + ".ini");
        WriteText(path, ini);
        return path;
    }

    // The usual caption buttons: close at XCoord 14, maximize (and restore)
    // at 26, minimize at 38, all at YCoord 1.
    static constexpr char kButtonCount[] = "ButtonCount=4";
    static std::string CaptionButtons() {
        return "[Button0]\r\nButtonImage=close.bmp\r\nAction=0\r\nXCoord=14\r\nYCoord=1\r\n"
               "[Button1]\r\nButtonImage=max.bmp\r\nAction=1\r\nXCoord=26\r\nYCoord=1\r\n"
               "[Button2]\r\nButtonImage=restore.bmp\r\nAction=1\r\nXCoord=26\r\nYCoord=1\r\n"
               "[Button3]\r\nButtonImage=min.bmp\r\nAction=2\r\nXCoord=38\r\nYCoord=1\r\n";
    }

private:
    const CTempFolder& folder_;
    mutable int written_ = 0;
};

// A top-level window whose own procedure records the messages it gets.
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
        hwnd_ = CreateWindowExW(0, L"SkinTestWindow", L"skin test", style, x, y, w, h, nullptr, nullptr,
                                GetModuleHandleW(nullptr), this);
    }
    ~CRecordingWindow() {
        if (IsWindow(hwnd_)) {
            DestroyWindow(hwnd_);
        }
    }
    CRecordingWindow(const CRecordingWindow&) = delete;
    CRecordingWindow& operator=(const CRecordingWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    struct Seen {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Seen> seen;
    bool Saw(UINT message, WPARAM wParam) const {
        for (const Seen& s : seen) {
            if (s.message == message && s.wParam == wParam) {
                return true;
            }
        }
        return false;
    }
    int Count(UINT message) const {
        int n = 0;
        for (const Seen& s : seen) {
            n += s.message == message;
        }
        return n;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(
                hwnd, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        if (auto* self = reinterpret_cast<CRecordingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            self->seen.push_back({message, wParam, lParam});
            if (message == WM_NCDESTROY) {
                self->sawNcDestroy = true;
            }
            if (message == WM_CLOSE) {
                return 0; // closing is only recorded
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    bool sawNcDestroy = false;

private:
    HWND hwnd_ = nullptr;
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
