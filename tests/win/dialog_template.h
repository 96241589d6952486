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
        // style, extended style, item count (set by Add), x, y, cx, cy, no menu, default class
        m_words = {LOWORD(style), HIWORD(style), 0, 0, 0, 0, 0, 200, 100, 0, 0};
        PutText(title);
    }

    CDialogTemplate& Add(WORD classAtom, int id, DWORD style, const std::wstring& text, short y) {
        if (m_words.size() % 2) {
            m_words.push_back(0); // items start on a DWORD boundary
        }
        const DWORD shown = style | WS_CHILD | WS_VISIBLE;
        // style, extended style, x, y, cx, cy, id, class atom
        m_words.insert(m_words.end(), {LOWORD(shown), HIWORD(shown), 0, 0, 10, static_cast<WORD>(y), 120, 14,
                                       static_cast<WORD>(id), 0xFFFF, classAtom});
        PutText(text);
        m_words.push_back(0); // no creation data
        ++m_words[kItemCount];
        return *this;
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    static constexpr size_t kItemCount = 4;

    void PutText(const std::wstring& text) {
        m_words.insert(m_words.end(), text.begin(), text.end());
        m_words.push_back(0);
    }

    std::vector<WORD> m_words;
};
