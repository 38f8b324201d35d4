// The wrapper filter's measure of the time its plug-in takes: the fraction
// of real time spent inside the plug-in's processing calls.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IPlugInLoad, 0x5B1E7C40, 0x2D6A, 0x4C19, 0x9E, 0x35, 0x7A, 0x0C, 0x48, 0xD2, 0x61, 0x93);

struct IPlugInLoad : IUnknown {
    // Returns the setting now in force: 0 when off, else the counter's
    // frequency.
    STDMETHOD_(LONGLONG, EnableTiming)(BOOL on) = 0;
    STDMETHOD_(void, ResetLoad)() = 0;
    // 0 before any frame was timed or without a sample rate.
    STDMETHOD_(double, GetLoad)() = 0;
};
