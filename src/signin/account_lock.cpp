#include "signin/account_lock.h"

namespace {

// The mutex name is this prefix followed by the user number.
constexpr wchar_t kAccountLockPrefix[] = L"velmarin_";

} // namespace

unique_handle CreateAccountLock(const std::wstring& userNumber) {
    const std::wstring name = kAccountLockPrefix + userNumber;
    return unique_handle(CreateMutexW(nullptr, TRUE, name.c_str()));
}

bool AccountLockHeldElsewhere(const std::wstring& userNumber) {
    const std::wstring name = kAccountLockPrefix + userNumber;
    unique_handle probe(CreateMutexW(nullptr, TRUE, name.c_str()));
    return probe && GetLastError() == ERROR_ALREADY_EXISTS;
}
