#include <gtest/gtest.h>

#include <future>
#include <new>

#include "uikit/core/CHeapCriticalSection.h"

namespace {

bool TryLockFromAnotherThread(CHeapCriticalSection& lock)
{
    return std::async(std::launch::async, [&lock] {
               const bool taken = lock.TryLock();
               if (taken)
                   lock.Unlock();
               return taken;
           })
        .get();
}

TEST(CHeapCriticalSection, TryLockFailsOnAnotherThreadWhileLocked)
{
    CHeapCriticalSection lock;
    ASSERT_NE(lock.Get(), nullptr);
    lock.Lock();
    EXPECT_FALSE(TryLockFromAnotherThread(lock));
    lock.Unlock();
    EXPECT_TRUE(TryLockFromAnotherThread(lock));
}

TEST(CHeapCriticalSection, TheHolderLocksAgainAndTriesSuccessfully)
{
    CHeapCriticalSection lock;
    lock.Lock();
    lock.Lock();
    EXPECT_TRUE(lock.TryLock());
    lock.Unlock();
    lock.Unlock();
    EXPECT_FALSE(TryLockFromAnotherThread(lock));
    lock.Unlock();
    EXPECT_TRUE(TryLockFromAnotherThread(lock));
}

TEST(CHeapCriticalSection, EachInstanceIsItsOwnLock)
{
    CHeapCriticalSection a, b;
    EXPECT_NE(a.Get(), b.Get());
    a.Lock();
    EXPECT_TRUE(TryLockFromAnotherThread(b));
    a.Unlock();
}

TEST(CHeapCriticalSection, ASecondDestructionDoesNothing)
{
    alignas(CHeapCriticalSection) unsigned char storage[sizeof(CHeapCriticalSection)];
    auto* lock = new (storage) CHeapCriticalSection;
    lock->~CHeapCriticalSection();
    // A second free of the section would abort here.
    lock->~CHeapCriticalSection();
    SUCCEED();
}

}  // namespace
