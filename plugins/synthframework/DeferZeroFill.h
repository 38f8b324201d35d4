// Silence passed as a flag: a media sample of the host's graph that answers
// IDeferZeroFill may be delivered still marked empty, and whoever reads it
// clears it. The plug-in's view of the host's interface (same identifier
// and slots).
#pragma once

#include "platform/com/Unknown.h"

namespace mvsynth {

MV_DEFINE_GUID(IID_IDeferZeroFill, 0x447DA113, 0x4AC8, 0x4833, 0x84, 0x9A, 0x2B, 0xA2, 0x85, 0xE1, 0xE5, 0x2B);

struct IDeferZeroFill : IUnknown {
    // Audio thread: no allocation, no blocking (all three).
    STDMETHOD_(BOOL, GetZeroFillPending)() = 0;
    STDMETHOD(SetZeroFillPending)(BOOL pending) = 0;
    STDMETHOD(GetPointerNoFill)(BYTE** buffer) = 0;
};

}  // namespace mvsynth
