#pragma once
#include "framework/handles.h"

#include <string>

// The per-account lock: the named mutex that keeps a number signed in by one
// running copy only. Creates it initially owned and returns its handle, also
// when another copy already holds the name; empty only when creation failed.
unique_handle CreateAccountLock(const std::wstring& userNumber);

// Whether another running copy holds the number's lock. Takes no lock itself.
bool AccountLockHeldElsewhere(const std::wstring& userNumber);
