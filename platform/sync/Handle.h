// Handles of kernel objects (events, threads, and whatever other services
// register): opaque, never reused within a run, closed with CloseHandle.
// Closing a handle drops only this reference: a thread keeps running and a
// thread blocked on the object keeps waiting safely.
#pragma once

#include "platform/win/WinTypes.h"

#include <cstdint>

using HANDLE = void*;
// What calls that return a file-like handle give on failure.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));

// Security descriptors are not modelled; callers pass null.
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// FALSE for a null, closed or unknown handle.
BOOL CloseHandle(HANDLE handle);

// Waits up to `milliseconds` (INFINITE: no limit; 0: a poll) for the object
// to be signalled. WAIT_FAILED for a handle that does not name a waitable
// object. Blocks: never call it on the per-buffer path.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
