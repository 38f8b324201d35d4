// The MIDI-effect host's meter map, as plug-ins and the engine call it:
// measure:beat:tick conversions and the time-signature entries of the song.
// The MIDI-effect host site implements it over the song's meter/key map.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxMeterMap, 0xFF76F7C4, 0xF166, 0x11D1, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

// Threads: every method is called on the audio thread (the engine owner's
// per-buffer entry for the count-in, plug-ins while they process) and on the
// UI thread; none allocates or blocks. The map is changed only on the UI
// thread.
struct IMfxMeterMap : public IUnknown {
    // Audio thread and UI thread: no allocation, no blocking.
    STDMETHOD(TicksToMbt)(LONG ticks, LONG* measure, LONG* beat, LONG* tick) = 0;
    // Audio thread and UI thread: no allocation, no blocking.
    STDMETHOD_(LONG, MbtToTicks)(LONG measure, LONG beat, LONG tick) = 0;
    // Index of the entry in force at the tick.
    // Audio thread and UI thread: no allocation, no blocking.
    STDMETHOD_(LONG, GetMeterIndexAt)(LONG ticks) = 0;
    // Audio thread and UI thread: no allocation, no blocking.
    STDMETHOD_(LONG, GetMeterCount)() = 0;
    // The entry's start tick, beats per measure and beat unit as a power of
    // two (2 = quarter note).
    // Audio thread and UI thread: no allocation, no blocking.
    STDMETHOD(GetMeterAt)(LONG index, LONG* ticks, LONG* numerator, LONG* denominator) = 0;
};
