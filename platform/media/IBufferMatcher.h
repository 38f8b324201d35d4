// Control interface of the buffer-matcher filter, the filter that re-blocks
// the float stream at the end of each effect chain and of the master bus. The
// audio renderer restarts it when streaming (re)starts and tells it the size
// of each coming segment and device block, in bytes; a failure is negative.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IBufferMatcher, 0xEC8E1324, 0x22C8, 0x489F, 0xB1, 0xF5, 0x78, 0x3F, 0x6A, 0xF4, 0x13, 0xCF);

struct IBufferMatcher : IUnknown {
    // Audio thread (the renderer's BeginSegment): no allocation, no blocking.
    STDMETHOD(SetSegmentSize)(LONG bytes) = 0;
    // UI thread (the renderer's ResetRenderers, when streaming starts or the
    // device is reopened), while no block is in flight.
    STDMETHOD(Reset)() = 0;
    // Audio thread (the renderer's BeginBuffer and BeginSegment): no
    // allocation, no blocking.
    STDMETHOD(SetBlockSize)(LONG bytes) = 0;
};
