// The lock of a filter, pin, allocator or clock: a recursive critical
// section. The owning thread may enter again. Audio-thread code that must not
// wait uses TryLock.
#pragma once

#include <mutex>

#include "platform/sync/ThreadAffinity.h"

class CCritSec {
public:
    CCritSec() = default;
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    // Audio thread: no allocation, no blocking.
    bool TryLock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a CCritSec for the scope it lives in.
class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : m_lock(lock) { m_lock->Lock(); }
    ~CAutoLock() { m_lock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_lock;
};

// Holds a CCritSec for the scope it lives in, trying it first: a thread that
// holds it already (an instrument asking its context while it renders on the
// audio thread) re-enters at once and never reaches the waiting lock; any
// other caller waits its turn.
class CReenterLock {
public:
    explicit CReenterLock(CCritSec* lock) : m_lock(lock)
    {
        if (!m_lock->TryLock())
            m_lock->Lock();
    }
    ~CReenterLock() { m_lock->Unlock(); }
    CReenterLock(const CReenterLock&) = delete;
    CReenterLock& operator=(const CReenterLock&) = delete;

private:
    CCritSec* m_lock;
};

// Tries a CCritSec once for the scope it lives in; Locked() tells whether it
// was taken. For audio-thread paths, which never wait for a lock.
class CTryLock {
public:
    struct TryOnAudio {};

    explicit CTryLock(CCritSec* lock) : m_lock(lock), m_locked(lock->TryLock()) {}
    // For entries any thread calls: tries on the audio thread (no
    // allocation, no blocking), waits on any other, where Locked() holds.
    CTryLock(CCritSec* lock, TryOnAudio) : m_lock(lock), m_locked(true)
    {
        if (mv::CurrentThreadRole() != mv::ThreadRole::Audio)
            lock->Lock();
        else
            m_locked = lock->TryLock();
    }
    ~CTryLock()
    {
        if (m_locked)
            m_lock->Unlock();
    }
    CTryLock(const CTryLock&) = delete;
    CTryLock& operator=(const CTryLock&) = delete;
    bool Locked() const { return m_locked; }

private:
    CCritSec* m_lock;
    bool m_locked;
};
