// Recursive critical sections with try-enter, as the engine's locks expect:
// the owning thread may enter again; TryEnterCriticalSection never waits.
#pragma once

#include "platform/win/WinTypes.h"

struct CRITICAL_SECTION {
    void* impl = nullptr;  // owned by Initialize/DeleteCriticalSection
};

void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);
// Audio thread: never blocks; TRUE when the lock was taken (or already held by this thread).
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
