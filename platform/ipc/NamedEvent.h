// Auto-reset events that processes share by name, over POSIX named
// semaphores. SetEvent, ResetEvent, PulseEvent and WaitForSingleObject act
// on them as on the process's own events (platform/sync/Event.h), with one
// difference: a semaphore cannot tell whether anyone waits, so a pulse with
// nobody waiting stays signalled for the next wait. The process that
// created a name removes it when its handle is closed; processes that hold
// the event open keep using it. Manual-reset named events are not offered.
#pragma once

#include "platform/sync/Handle.h"

constexpr DWORD EVENT_MODIFY_STATE = 0x0002;
constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

// Creates the event, or opens it when it exists (its state is then its
// own and *existed, when given, is set). Null for a manual-reset event, a
// missing name, or a name the system cannot hold.
HANDLE CreateNamedEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name,
                         BOOL* existed = nullptr);

// An existing event; null when there is none of that name.
HANDLE OpenEventA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);
