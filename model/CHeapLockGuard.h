// Holds a heap critical section for a scope. The blocking form is for the UI
// thread; the trying form is the audio thread's: it never waits, and the
// caller asks OwnsLock before touching what the lock guards. The third form
// is for entries any thread calls: it tries on the audio thread and waits
// everywhere else.
#pragma once

#include "platform/sync/ThreadAffinity.h"
#include "uikit/core/CHeapCriticalSection.h"

class CHeapLockGuard {
public:
    struct TryOnly {};
    struct TryOnAudio {};

    explicit CHeapLockGuard(CHeapCriticalSection& lock) : m_lock(&lock) { lock.Lock(); }
    // For owners whose lock is optional: holds the lock when there is one.
    explicit CHeapLockGuard(CHeapCriticalSection* lockOrNone) : m_lock(lockOrNone)
    {
        if (m_lock)
            m_lock->Lock();
    }
    // Audio thread: no allocation, no blocking.
    CHeapLockGuard(CHeapCriticalSection& lock, TryOnly) : m_lock(lock.TryLock() ? &lock : nullptr) {}
    // On the audio thread as TryOnly (no allocation, no blocking); on any
    // other thread it waits and always owns the lock.
    CHeapLockGuard(CHeapCriticalSection& lock, TryOnAudio) : m_lock(&lock)
    {
        if (mv::CurrentThreadRole() != mv::ThreadRole::Audio)
            lock.Lock();
        else if (!lock.TryLock())
            m_lock = nullptr;
    }
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
