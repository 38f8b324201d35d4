// The persistence context a stream may offer: a directory of chunk start
// positions keyed by (major, ordinal). Objects that are not sequential-only
// record where their chunk starts while they are saved and are found again
// by the order of saving when they are loaded (mode 1).
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IKelStreamContext, 0x1E934B8C, 0x4110, 0x4E8B, 0xAA, 0x95, 0x1A, 0xB7, 0xCD, 0x75, 0x0A, 0x5D);

struct IKelStreamContext : IUnknown {
    STDMETHOD(SetMode)(DWORD mode) = 0;
    // null out: E_INVALIDARG.
    STDMETHOD(GetMode)(DWORD* mode) = 0;
    // The recorded position; E_FAIL when the key is absent; null out: E_INVALIDARG.
    STDMETHOD(FindChunk)(WORD major, DWORD ordinal, ULONGLONG* position) = 0;
    // Records the position under the major's next ordinal, which is returned
    // when `ordinal` is not null; E_FAIL when that key already exists.
    STDMETHOD(AddChunk)(WORD major, ULONGLONG position, DWORD* ordinal) = 0;
    // S_OK when removed, S_FALSE when absent.
    STDMETHOD(RemoveChunk)(WORD major, DWORD ordinal) = 0;
    // Empties the directory and the ordinal counters.
    STDMETHOD(Clear)() = 0;
    // The major's counter (0 when new), then increments it; null out: E_INVALIDARG.
    STDMETHOD(NextOrdinal)(WORD major, DWORD* ordinal) = 0;
};
