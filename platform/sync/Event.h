// Events within the process: manual- or auto-reset, waited on with
// WaitForSingleObject (platform/sync/Handle.h).
#pragma once

#include "platform/sync/Handle.h"

// Null on failure. Named events reach other processes and belong to the IPC
// service: a non-null name fails here rather than give an event that no one
// else can open.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);

// FALSE for a handle that is not an event (named events included).
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Releases the threads waiting now (one of them for an auto-reset event) and
// leaves the event not signalled. The named events of platform/ipc cannot
// see their waiters: there a pulse with nobody waiting stays for the next
// wait, as a Set would.
BOOL PulseEvent(HANDLE event);
