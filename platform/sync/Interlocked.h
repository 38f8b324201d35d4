// Atomic read-modify-write on a plain LONG, full barrier, as the stop
// counters and the host-call counter use them. The LONG must be naturally
// aligned (every LONG field and variable is).
// Audio thread: no allocation, no blocking.
#pragma once

#include <atomic>

#include "platform/win/WinTypes.h"

static_assert(std::atomic_ref<LONG>::is_always_lock_free, "interlocked LONG must be lock-free");

// Return the new value, wrapping at the ends of the 32-bit range.
inline LONG InterlockedIncrement(LONG* target)
{
    return static_cast<LONG>(static_cast<ULONG>(std::atomic_ref<LONG>(*target).fetch_add(1)) + 1u);
}
inline LONG InterlockedDecrement(LONG* target)
{
    return static_cast<LONG>(static_cast<ULONG>(std::atomic_ref<LONG>(*target).fetch_sub(1)) - 1u);
}

// Return the value before the call.
inline LONG InterlockedExchange(LONG* target, LONG value) { return std::atomic_ref<LONG>(*target).exchange(value); }
inline LONG InterlockedExchangeAdd(LONG* target, LONG value) { return std::atomic_ref<LONG>(*target).fetch_add(value); }
// Stores `exchange` only when the target equals `comparand`.
inline LONG InterlockedCompareExchange(LONG* target, LONG exchange, LONG comparand)
{
    std::atomic_ref<LONG>(*target).compare_exchange_strong(comparand, exchange);
    return comparand;
}
