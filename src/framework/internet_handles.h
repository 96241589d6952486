#pragma once
#include "framework/handles.h"

#include <wininet.h>

// An internet session, connection or request, closed when it goes.
using unique_hinternet = unique_any<HINTERNET, &::InternetCloseHandle>;
