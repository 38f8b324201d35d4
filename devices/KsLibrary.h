// The process-wide part of the kernel-streaming layer: initialisation (the
// log level and a pool of 16 overlapped records for blocking I/O controls),
// blocking property requests on filter and pin handles, and the audio
// filter lists built from the device interface sets.
//
// Threads: the UI thread initialises, builds the lists and releases them;
// SyncIoctl may be called from any thread (the pool is shared under one
// critical section, a record belongs to one call at a time).
#pragma once

#include <memory>
#include <vector>

#include "platform/audio/KsDevices.h"

class CKsFilter;
using KsFilterList = std::vector<std::unique_ptr<CKsFilter>>;

// Once per run until released; later calls give the first result. False
// when kernel streaming is not available.
bool InitKsLibrary();
// Deletes both filter lists and the overlapped pool; the next InitKsLibrary
// starts again.
void ReleaseKsLibrary();

// Level of the kernel-streaming log: "KsLogLevel" under
// HKEY_LOCAL_MACHINE\Software\Debug, 1 when not stored.
int KsLogLevel();
// A message for the kernel-streaming log when `level` is within its level.
void KsLog(int level, const char* format, ...);

// DeviceIoControl that waits for a pending request without a time-out, with
// a record of the pool. A property request without an output buffer that
// fails only for its size (ERROR_INSUFFICIENT_BUFFER, ERROR_MORE_DATA)
// succeeds: it is a size query, and `returned` holds the size.
bool SyncIoctl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);

// Get (or set) property (set, id) with a fixed-size value.
bool KsGetProperty(HANDLE handle, const GUID& set, ULONG id, void* value, ULONG size);
bool KsSetProperty(HANDLE handle, const GUID& set, ULONG id, void* value, ULONG size);
// Get a property of pin `pinId` through its filter's handle.
bool KsGetPinProperty(HANDLE handle, const GUID& set, ULONG id, ULONG pinId, void* value, ULONG size);
// A multiple-item property: asks its size, then reads it into zero-filled
// memory. Empty on failure. `request`: a KSPROPERTY, KSP_PIN or KSP_NODE.
std::vector<BYTE> KsGetMultipleItems(HANDLE handle, const void* request, ULONG requestSize);

// The filters of `filterType` (CKsFilter's types) present in every one of
// the categories, opened and with their pins enumerated (and, for topology
// filters, their nodes). E_FAIL when there are none.
HRESULT EnumerateFilters(KsFilterList& list, int filterType, const GUID* categories, int count);

// The PCM audio filters that render (audio + render) or capture (audio +
// capture), built on first use and kept until ReleaseKsLibrary. The
// building's failure is returned each time until one succeeds.
HRESULT GetRenderFilters(KsFilterList** list);
HRESULT GetCaptureFilters(KsFilterList** list);
