#pragma once
// Dialog templates built in memory, so window tests need no resource script.
#include <windows.h>

#include <string>
#include <vector>

class CDialogTemplate {
public:
    static constexpr WORD kButton = 0x0080;
    static constexpr WORD kEdit = 0x0081;
    static constexpr WORD kStatic = 0x0082;

    CDialogTemplate(DWORD style, const std::wstring& title) {
        PutDword(style);
        PutDword(0);
        m_words.push_back(0); // item count, set by Add
        PutRect(0, 0, 200, 100);
        m_words.push_back(0); // no menu
        m_words.push_back(0); // default class
        PutText(title);
    }

    CDialogTemplate& Add(WORD classAtom, int id, DWORD style, const std::wstring& text, short y) {
        if (m_words.size() % 2)
            m_words.push_back(0); // items start on a DWORD boundary
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        PutRect(10, y, 120, 14);
        m_words.push_back(static_cast<WORD>(id));
        m_words.push_back(0xFFFF);
        m_words.push_back(classAtom);
        PutText(text);
        m_words.push_back(0); // no creation data
        ++m_words[4];
        return *this;
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void PutDword(DWORD value) {
        m_words.push_back(LOWORD(value));
        m_words.push_back(HIWORD(value));
    }
    void PutRect(short x, short y, short cx, short cy) {
        for (short v : {x, y, cx, cy})
            m_words.push_back(static_cast<WORD>(v));
    }
    void PutText(const std::wstring& text) {
        m_words.insert(m_words.end(), text.begin(), text.end());
        m_words.push_back(0);
    }

    std::vector<WORD> m_words;
};
