#pragma once
// 8-bit text seam: the ANSI code page of the calling thread on Windows,
// code page 936 elsewhere. Both directions convert the same way.
#include <string>

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& bytes);
