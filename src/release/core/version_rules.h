#pragma once
#include <string>

// Whether candidate is a newer version than reference: both are four numbers
// joined by "." (more pieces are not looked at; fewer are never newer), and
// the first number that differs decides.
bool IsNewerVersion(const std::wstring& candidate, const std::wstring& reference);
