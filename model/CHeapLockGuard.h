// Holds a heap critical section for a scope. The blocking form is for the UI
// thread; the trying form is the audio thread's: it never waits, and the
// caller asks OwnsLock before touching what the lock guards.
#pragma once

#include "uikit/core/CHeapCriticalSection.h"

class CHeapLockGuard {
public:
    struct TryOnly {};

    explicit CHeapLockGuard(CHeapCriticalSection& lock) : m_lock(&lock) { lock.Lock(); }
    // For owners whose lock is optional: holds the lock when there is one.
    explicit CHeapLockGuard(CHeapCriticalSection* lockOrNone) : m_lock(lockOrNone)
    {
        if (m_lock)
            m_lock->Lock();
    }
    // Audio thread: no allocation, no blocking.
    CHeapLockGuard(CHeapCriticalSection& lock, TryOnly) : m_lock(lock.TryLock() ? &lock : nullptr) {}
    ~CHeapLockGuard()
    {
        if (m_lock)
            m_lock->Unlock();
    }
    CHeapLockGuard(const CHeapLockGuard&) = delete;
    CHeapLockGuard& operator=(const CHeapLockGuard&) = delete;

    bool OwnsLock() const { return m_lock != nullptr; }

private:
    CHeapCriticalSection* m_lock;
};
