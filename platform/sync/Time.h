// Clocks and sleeping. Every clock here is monotonic (it never steps with the
// wall clock) and counts from an arbitrary origin; differences are what count.
#pragma once

#include "platform/win/WinTypes.h"

// Milliseconds, wrapping at 2^32 (about 49.7 days): compare by unsigned
// difference. timeGetTime gives the same clock as GetTickCount.
// Audio thread: no allocation, no blocking.
DWORD GetTickCount();
DWORD timeGetTime();

// A counter in units of 1 / frequency seconds (the frequency is fixed for
// the run). FALSE only for a null out-parameter.
// Audio thread: no allocation, no blocking.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Sleeps at least `milliseconds`, resuming after signals; 0 gives up the
// rest of the time slice.
void Sleep(DWORD milliseconds);
