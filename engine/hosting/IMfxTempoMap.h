// The MIDI-effect host's tempo map, as plug-ins call it: tick and
// millisecond conversions and the song's tempo changes. Also the host site's
// IUnknown.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxTempoMap, 0xFF76F7C3, 0xF166, 0x11D1, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

struct IMfxTempoMap : public IUnknown {
    STDMETHOD_(LONG, TicksToMsecs)(LONG ticks) = 0;
    STDMETHOD_(LONG, MsecsToTicks)(LONG msecs) = 0;
    STDMETHOD_(LONG, GetTicksPerQuarter)() = 0;
    STDMETHOD_(LONG, GetTempoIndexAt)(LONG ticks) = 0;
    STDMETHOD_(LONG, GetTempoCount)() = 0;
    // The entry's start tick and tempo in BPM x 100.
    STDMETHOD(GetTempoAt)(LONG index, LONG* ticks, LONG* tempo) = 0;
};
