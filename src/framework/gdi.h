#pragma once
#include "framework/handles.h"

#include <utility>

using unique_hbitmap = unique_any<HBITMAP, &::DeleteObject>;
using unique_hbrush = unique_any<HBRUSH, &::DeleteObject>;
using unique_hfont = unique_any<HFONT, &::DeleteObject>;
using unique_hpen = unique_any<HPEN, &::DeleteObject>;
using unique_hrgn = unique_any<HRGN, &::DeleteObject>;
// A memory DC from CreateCompatibleDC.
using unique_hdc = unique_any<HDC, &::DeleteDC>;

// The DC of one WM_PAINT: BeginPaint now, EndPaint when it goes.
class unique_hdc_paint {
public:
    explicit unique_hdc_paint(HWND hwnd) : m_hwnd(hwnd), m_dc(BeginPaint(hwnd, &m_paint)) {}
    unique_hdc_paint(const unique_hdc_paint&) = delete;
    unique_hdc_paint& operator=(const unique_hdc_paint&) = delete;
    ~unique_hdc_paint() {
        if (m_dc) {
            EndPaint(m_hwnd, &m_paint);
        }
    }

    HDC get() const { return m_dc; }
    const PAINTSTRUCT& paint() const { return m_paint; }

private:
    HWND m_hwnd; // borrowed
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

// A DC borrowed from a window and given back with ReleaseDC when it goes:
// GetDC (the client area; the screen's for a null window) or GetWindowDC
// (the whole window, frame included).
class unique_hdc_window {
public:
    enum Area { kClientArea, kWholeWindow };

    explicit unique_hdc_window(HWND hwnd, Area which = kClientArea)
        : m_hwnd(hwnd), m_dc(which == kWholeWindow ? GetWindowDC(hwnd) : GetDC(hwnd)) {}
    unique_hdc_window(const unique_hdc_window&) = delete;
    unique_hdc_window& operator=(const unique_hdc_window&) = delete;
    ~unique_hdc_window() {
        if (m_dc) {
            ReleaseDC(m_hwnd, m_dc);
        }
    }

    HDC get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_hwnd; // borrowed
    HDC m_dc;
};

// Selects an object into a DC (both borrowed) and puts the previous one back
// when it goes, or earlier with reset (a bitmap must leave its DC before its
// pixels are read). An empty one, or one given a null object, selects nothing.
class unique_select_object {
public:
    unique_select_object() = default;
    unique_select_object(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {
        if (m_previous == HGDI_ERROR) {
            m_previous = nullptr;
        }
    }
    unique_select_object(unique_select_object&& other) noexcept
        : m_dc(other.m_dc), m_previous(std::exchange(other.m_previous, nullptr)) {}
    unique_select_object& operator=(unique_select_object&& other) noexcept {
        if (this != &other) {
            reset();
            m_dc = other.m_dc;
            m_previous = std::exchange(other.m_previous, nullptr);
        }
        return *this;
    }
    unique_select_object(const unique_select_object&) = delete;
    unique_select_object& operator=(const unique_select_object&) = delete;
    ~unique_select_object() { reset(); }

    // True while an object is selected by this one.
    explicit operator bool() const { return m_previous != nullptr; }
    void reset() {
        if (m_previous) {
            SelectObject(m_dc, std::exchange(m_previous, nullptr));
        }
    }

private:
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

// Gives hwnd the region as its shape: the system owns it from then on, and a
// region the window did not take is freed here. A null region unshapes it.
inline bool SetWindowRegion(HWND hwnd, unique_hrgn region, bool redraw) {
    if (!SetWindowRgn(hwnd, region.get(), redraw ? TRUE : FALSE)) {
        return false;
    }
    (void)region.release();
    return true;
}

// A bitmap resource of module as a DIB section; empty when it is not there.
inline unique_hbitmap LoadBitmapResource(HMODULE module, WORD id) {
    return unique_hbitmap(static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}
