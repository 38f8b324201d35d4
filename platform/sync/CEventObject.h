// The object behind an event handle. A set manual-reset event releases every
// thread waiting at that moment and stays signalled until reset. A set
// auto-reset event releases exactly one waiter; with nobody waiting it stays
// signalled until one wait consumes it. A Reset that follows a Set never takes
// back a release already given to a waiting thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/sync/CKernelObject.h"
#include "platform/sync/ISignalable.h"

namespace mvsync {

class CEventObject : public CKernelObject, public ISignalable {
public:
    CEventObject(bool manualReset, bool initialState);

    void Set() override;
    void Reset() override;
    void Pulse() override;
    DWORD Wait(DWORD milliseconds) override;

private:
    // Waits under `guard` until `released` holds or the time is up.
    template <class Pred>
    bool WaitUntil(std::unique_lock<std::mutex>& guard, DWORD milliseconds, Pred released);

    std::mutex m_lock;
    std::condition_variable m_changed;
    const bool m_manualReset;
    bool m_signalled;
    std::uint64_t m_generation = 0;  // manual reset: every Set releases the waiters of before
    unsigned m_waiters = 0;          // auto reset: threads inside Wait
    unsigned m_releases = 0;         // auto reset: releases given to waiters not yet awake
};

}  // namespace mvsync
