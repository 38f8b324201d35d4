// Threads with handles: started at once or suspended, resumed, given a
// priority, waited on (the handle is signalled when the start routine
// returns) and asked for their exit code. Closing a thread's handle does not
// stop the thread.
//
// Priorities keep the Windows numbers. Above normal they map to SCHED_FIFO
// (ABOVE_NORMAL 5, HIGHEST 10, TIME_CRITICAL 20); normal and below to the
// ordinary scheduler. Where real-time scheduling is not permitted (a user
// without the right, a container) the thread keeps the ordinary scheduler
// and SetThreadPriority still succeeds: a device thread then runs, with more
// risk of drop-outs, rather than fail to start.
#pragma once

#include <cstddef>

#include "platform/sync/Handle.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr DWORD STILL_ACTIVE = 259;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;

// Null on failure. A stack size below the system's default gets the default
// (the size is a minimum, as a commit size is on Windows). With
// CREATE_SUSPENDED the start routine waits for ResumeThread. `threadId` may
// be null; otherwise it receives the id that GetCurrentThreadId gives inside
// the new thread.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID arg, DWORD flags, DWORD* threadId);

// Lowers the suspend count; the thread runs when it reaches 0. Returns the
// count before the call, or 0xFFFFFFFF for a handle that is not a thread.
DWORD ResumeThread(HANDLE thread);

// FALSE for a handle that is not a thread or a number that is not one of the
// priorities above; TRUE otherwise, including when real-time scheduling was
// refused and the thread stays on the ordinary scheduler.
BOOL SetThreadPriority(HANDLE thread, int priority);

// STILL_ACTIVE while the thread runs, then the start routine's result.
// FALSE for a handle that is not a thread or a null `exitCode`.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Never 0; unique among the threads of this run.
DWORD GetCurrentThreadId();
