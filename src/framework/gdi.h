#pragma once
#include "framework/handles.h"

using unique_hbitmap = unique_any<HBITMAP, &::DeleteObject>;
using unique_hbrush = unique_any<HBRUSH, &::DeleteObject>;
using unique_hfont = unique_any<HFONT, &::DeleteObject>;
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
        if (m_dc)
            EndPaint(m_hwnd, &m_paint);
    }

    HDC get() const { return m_dc; }
    const PAINTSTRUCT& paint() const { return m_paint; }

private:
    HWND m_hwnd; // borrowed
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

// Selects an object into a DC (both borrowed) and puts the previous one back when it goes.
class unique_select_object {
public:
    unique_select_object(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    unique_select_object(const unique_select_object&) = delete;
    unique_select_object& operator=(const unique_select_object&) = delete;
    ~unique_select_object() {
        if (m_previous && m_previous != HGDI_ERROR)
            SelectObject(m_dc, m_previous);
    }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
