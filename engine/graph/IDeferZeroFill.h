// Silence passed as a flag: a media sample that answers IDeferZeroFill can be
// marked silent without writing it, and is filled with the silence pattern
// only when someone reads it through GetPointer. The allocator of such
// samples answers IDeferZeroFillAllocator.
#pragma once

#include "platform/media/MediaInterfaces.h"

MV_DEFINE_GUID(IID_IDeferZeroFill, 0x447DA113, 0x4AC8, 0x4833, 0x84, 0x9A, 0x2B, 0xA2, 0x85, 0xE1, 0xE5, 0x2B);
MV_DEFINE_GUID(IID_IDeferZeroFillAllocator, 0x243E2AC0, 0x59BD, 0x11D1, 0x9A, 0x70, 0x00, 0xA0, 0xC9, 0x0D, 0xA1,
               0xEF);

struct IDeferZeroFill : IUnknown {
    // Audio thread: no allocation, no blocking (all three).
    STDMETHOD_(BOOL, GetZeroFillPending)() = 0;
    STDMETHOD(SetZeroFillPending)(BOOL pending) = 0;
    // The buffer as it stands, for a writer that overwrites all of it; the
    // pending mark is cleared without filling.
    STDMETHOD(GetPointerNoFill)(BYTE** buffer) = 0;
};

struct IDeferZeroFillAllocator : IUnknown {
    // Drops the buffers and their memory and sets the count to `count`, with
    // size, alignment and prefix 0. Refused while committed or while samples
    // are out.
    STDMETHOD(ResetBuffers)(LONG count) = 0;
};
