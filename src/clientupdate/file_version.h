#pragma once
#include "release/core/release_version.h"

#include <string>

// The file version of an executable's version resource; false when it has none.
bool ReadFileVersion(const std::wstring& path, CReleaseVersion& out);
