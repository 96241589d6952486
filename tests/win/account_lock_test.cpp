#include "signin/account_lock.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A number no other test or running copy uses.
const std::wstring kNumber = L"0999" + std::to_wstring(GetCurrentProcessId());

// Whether a thread other than the caller can take the mutex at once.
bool FreeForAnotherThread(HANDLE mutex) {
    DWORD result = WAIT_FAILED;
    std::thread other([&] {
        result = WaitForSingleObject(mutex, 0);
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
            ReleaseMutex(mutex);
        }
    });
    other.join();
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

} // namespace

// Other copies find the lock by "velmarin_" and the number, and it is owned
// from the start: nobody else can take it while the signed-in copy runs.
TEST(AccountLock, NamedAfterTheNumberAndOwnedFromTheStart) {
    EXPECT_FALSE(AccountLockHeldElsewhere(kNumber));
    unique_handle lock = CreateAccountLock(kNumber);
    ASSERT_TRUE(lock);
    unique_handle byName(OpenMutexW(SYNCHRONIZE, FALSE, (L"velmarin_" + kNumber).c_str()));
    ASSERT_TRUE(byName) << "no mutex by the lock's name";
    EXPECT_FALSE(FreeForAnotherThread(byName.get()));
    EXPECT_TRUE(AccountLockHeldElsewhere(kNumber));
    EXPECT_FALSE(AccountLockHeldElsewhere(kNumber + L"1"));

    // A second lock on a taken name still hands back its handle.
    unique_handle again = CreateAccountLock(kNumber);
    EXPECT_TRUE(again);
    again.reset();

    // Closing the last handle at shutdown frees the number.
    lock.reset();
    byName.reset();
    EXPECT_FALSE(AccountLockHeldElsewhere(kNumber));
}
