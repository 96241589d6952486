#pragma once
#include <string>
#include <vector>

// Splits at every separator; empty pieces are kept, and an empty text is one empty piece.
std::vector<std::wstring> SplitKeepingEmpty(const std::wstring& text, wchar_t separator);
