#include <gtest/gtest.h>

#include <malloc.h>

#include <future>
#include <optional>
#include <vector>

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

// Bytes the C heap has handed out and not had back.
std::size_t HeapInUse() { return mallinfo2().uordblks; }

TEST(CHeapCriticalSection, EveryLockGivesItsSectionBackOnceWhenItGoes)
{
    // Locks come and go with what owns them (patterns, channels, chains):
    // each gives its section back once, no more (a second free would corrupt
    // the heap for whoever allocates next) and no less (a leak per pattern).
    // An owner that lets a lock go twice resets its slot twice; only the
    // first reset destroys anything.
    constexpr int kLocks = 1000;
    std::vector<std::optional<CHeapCriticalSection>> locks(kLocks);
    const std::size_t before = HeapInUse();
    for (auto& lock : locks) {
        lock.emplace();
        lock->Lock();
        lock->Unlock();
    }
    const std::size_t held = HeapInUse();
    for (auto& lock : locks) {
        lock.reset();
        lock.reset();
        EXPECT_FALSE(lock.has_value());
    }
    // Under a sanitizer's allocator the C heap reports nothing; the
    // sanitizer checks the frees itself.
    if (held > before) {
        EXPECT_GE(held - before, kLocks * sizeof(CRITICAL_SECTION)) << "each lock holds a section";
        // Less than a tenth of what the locks held: the allocator keeps a
        // little bookkeeping of its own.
        EXPECT_LT(HeapInUse(), before + (held - before) / 10) << "every section was given back";
    }

    // A new lock in a slot that held one is a lock of its own, free to take.
    locks[0].emplace();
    EXPECT_TRUE(TryLockFromAnotherThread(*locks[0]));
    locks[0]->Lock();
    EXPECT_FALSE(TryLockFromAnotherThread(*locks[0]));
    locks[0]->Unlock();
}

}  // namespace
