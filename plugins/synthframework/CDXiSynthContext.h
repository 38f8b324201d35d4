// What an instrument engine may ask of the filter that hosts it: its output
// pins, the host's time conversions, the song's key and meter, whether the
// host plays, and the sample rate. The filter implements the pins; the
// synth layer the rest.
//
// Threads: the pins on the host's control thread; the time services on
// either thread under the synth's lock.
#pragma once

#include "plugins/synthframework/MfxSynth.h"

class CBasePin;

namespace mvsynth {

class CDXiSynthContext {
public:
    virtual HRESULT AddOutputPin(const WCHAR* name, DWORD* id) = 0;
    virtual HRESULT RemoveOutputPin(DWORD id) = 0;
    virtual HRESULT RemoveAllOutputPins() = 0;
    virtual CBasePin* FindOutputPin(DWORD id) = 0;
    virtual DWORD GetOutputPinCount() = 0;
    virtual LONG GetOutputPinId(DWORD index) = 0;

    // Audio thread: no allocation, no blocking beyond the synth's lock (these nine).
    virtual LONGLONG TicksToSamples(LONG ticks) = 0;
    virtual LONG SamplesToTicks(LONGLONG samples) = 0;
    // 48.16 fixed-point ticks at 960 a quarter note.
    virtual LONGLONG FixedTicksToSamples(LONGLONG ticks) = 0;
    virtual LONGLONG SamplesToFixedTicks(LONGLONG samples) = 0;
    // The host's answer, -1 when the host has no such query.
    virtual LONG QueryHostValue(LONG a, LONG b) = 0;
    virtual bool IsPlaying() = 0;
    virtual LONG GetSampleRate() = 0;
    // The host's meter map, not referenced; null while not connected.
    virtual IMfxMeterMap* GetMeterMap() = 0;
    // The host's tempo map, not referenced; null while not connected or
    // when the host gives none.
    virtual IMfxTempoMap* GetTempoMap() = 0;

    virtual ~CDXiSynthContext() = default;
};

}  // namespace mvsynth
