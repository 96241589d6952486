#pragma once
// Helpers of the controls' tests: a shared dialog to put controls on, a
// resource library made at run time and a small GIF89a writer.
#include "dialog_template.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "pump_until.h"
#include "skin_test_theme.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace controlstest {

using skintest::CTempFolder;
using skintest::Pump;

inline COLORREF Pixel(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

inline void Redraw(HWND hwnd) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
}

inline std::wstring Wide(const std::string& path) {
    return std::filesystem::path(path).wstring();
}

// The template of an empty dialog, built before the dialog that borrows it.
struct CEmptyTemplate {
    CDialogTemplate dialogTemplate{WS_POPUP | WS_VISIBLE, L"controls test"};
};

// A modeless dialog at the screen's top-left corner, painted in kBackground,
// holding one control at a time and recording the commands it gets.
class CTestDialog : private CEmptyTemplate, public CDialog {
public:
    static constexpr COLORREF kBackground = RGB(0, 128, 64);
    static constexpr int kControlId = 100;

    CTestDialog() : CDialog(dialogTemplate.get()) {
        if (Create()) {
            SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 300, 200, SWP_SHOWWINDOW);
        }
    }

    // A fresh control in place of the previous one, the dialog repainted.
    HWND MakeControl(const wchar_t* windowClass, DWORD style, const std::wstring& text, RECT place) {
        DestroyWindow(Control());
        commands.clear();
        CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                        place.right - place.left, place.bottom - place.top, m_hWnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)), nullptr, nullptr);
        Redraw(m_hWnd);
        return Control();
    }
    HWND Control() const { return GetDlgItem(m_hWnd, kControlId); }

    std::vector<std::pair<int, int>> commands; // id, code

protected:
    HBRUSH OnCtlColor(HDC, HWND, UINT message) override {
        return message == WM_CTLCOLORDLG ? m_background.get() : nullptr;
    }
    bool OnCommand(int id, int code, HWND control) override {
        commands.emplace_back(id, code);
        return CDialog::OnCommand(id, code, control);
    }

private:
    unique_hbrush m_background{CreateSolidBrush(kBackground)};
};

// One dialog per suite: hiding a top-level window takes Wine seconds without a window manager.
template <typename Suite> class CDialogSuite : public ::testing::Test {
public:
    static void SetUpTestSuite() { s_dialog = new CTestDialog; }
    static void TearDownTestSuite() {
        delete s_dialog;
        s_dialog = nullptr;
    }

protected:
    static inline CTestDialog* s_dialog = nullptr;
};

// A resource library like res.dll: a copy of it holding only the resources added here.
class CResourceModule {
public:
    // A bitmap resource: the BMP file without its file header.
    void AddBitmap(WORD id, int width, int height, const skintest::PixelFn& pixel) {
        const std::string file = m_folder.File("bitmap.bmp");
        skintest::WriteBmp(file, width, height, pixel);
        Add(RT_BITMAP, id, ReadFile(file).substr(sizeof(BITMAPFILEHEADER)));
    }
    void Add(const wchar_t* type, WORD id, std::string bytes) {
        m_items.push_back({type, id, std::move(bytes)});
    }
    // Writes and loads the library; null on failure.
    HMODULE Load() {
        wchar_t exe[MAX_PATH];
        const std::filesystem::path folder =
            std::filesystem::path(std::wstring(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH)))
                .parent_path();
        const std::wstring path = Wide(m_folder.File("testres.dll"));
        std::error_code error;
        std::filesystem::copy_file(folder / L"res.dll", path, error);
        HANDLE update = error ? nullptr : BeginUpdateResourceW(path.c_str(), TRUE);
        if (!update) {
            return nullptr;
        }
        for (auto& item : m_items) {
            UpdateResourceW(update, item.type, MAKEINTRESOURCEW(item.id),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), item.bytes.data(),
                            static_cast<DWORD>(item.bytes.size()));
        }
        if (!EndUpdateResourceW(update, FALSE)) {
            return nullptr;
        }
        m_module.reset(LoadLibraryW(path.c_str()));
        return m_module.get();
    }

    static std::string ReadFile(const std::string& path) {
        std::string bytes(std::filesystem::file_size(path), '\0');
        FILE* f = std::fopen(path.c_str(), "rb");
        std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return bytes;
    }

private:
    struct Item {
        const wchar_t* type;
        WORD id;
        std::string bytes;
    };
    CTempFolder m_folder;
    std::vector<Item> m_items;
    unique_hmodule m_module; // declared last: freed before the folder goes
};

// A GIF89a of same-sized frames over a palette of up to 128 colours; each
// frame holds a palette index per pixel and its delay in hundredths of a second.
struct GifFrame {
    UINT delay;
    std::vector<uint8_t> indices;
};

inline std::string Gif(int width, int height, const std::vector<COLORREF>& palette,
                       const std::vector<GifFrame>& frames) {
    std::string out = "GIF89a";
    auto u16 = [&](int v) { out += {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
    u16(width);
    u16(height);
    out += std::string("\xF6\0\0", 3); // a global table of 128 colours, background 0, no aspect ratio
    for (int i = 0; i < 128; ++i) {
        const COLORREF c = i < static_cast<int>(palette.size()) ? palette[i] : 0;
        out += {static_cast<char>(GetRValue(c)), static_cast<char>(GetGValue(c)),
                static_cast<char>(GetBValue(c))};
    }
    if (frames.size() > 1) {
        out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19); // loop for ever
    }
    for (const GifFrame& frame : frames) {
        out += std::string("\x21\xF9\x04\0", 4); // graphic control extension: the delay
        u16(static_cast<int>(frame.delay));
        out += std::string("\0\0\x2C", 3); // image descriptor: whole area, no local table
        for (int v : {0, 0, width, height}) {
            u16(v);
        }
        out += '\0';
        // Minimum code size 7: every code is one byte as long as a clear code
        // (0x80) comes before the table grows to 256 entries; 0x81 ends.
        std::string codes(1, '\x80');
        for (size_t i = 0; i < frame.indices.size(); ++i) {
            codes += (i > 0 && i % 100 == 0 ? std::string("\x80") : "") +
                     static_cast<char>(frame.indices[i] & 0x7F);
        }
        codes += '\x81';
        out += '\x07';
        for (size_t at = 0; at < codes.size(); at += 255) {
            out += static_cast<char>(std::min<size_t>(255, codes.size() - at)) + codes.substr(at, 255);
        }
        out += '\0';
    }
    return out + '\x3B';
}

} // namespace controlstest
