#include "text/split.h"

std::vector<std::wstring> SplitKeepingEmpty(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> pieces;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::wstring::npos; at = text.find(separator, start)) {
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}
