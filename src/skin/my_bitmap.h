#pragma once
// One image of the theme: a bitmap compatible with the screen, decoded from a
// checked bitmap file directly, or from any other file format the platform's
// OLE picture decoder reads.
#include "framework/gdi.h"

#include <string>

class CMyBitmap {
public:
    CMyBitmap() = default;
    CMyBitmap(CMyBitmap&&) = default;
    CMyBitmap& operator=(CMyBitmap&&) = default;

    // Fails at once when the object already holds a bitmap; any failure
    // leaves it empty.
    bool LoadFromFile(const std::string& path);
    // Takes ownership of a bitmap made elsewhere.
    void Attach(HBITMAP bitmap);
    void DeleteObject();

    HBITMAP GetSafeHandle() const { return m_bitmap.get(); }
    bool HasImage() const { return static_cast<bool>(m_bitmap); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    unique_hbitmap m_bitmap;
    int m_width = 0;
    int m_height = 0;
};
