// The metronome's click source as the master bus drives it: a filter of the
// engine graph (one float input, one float output) that passes the master
// mix through and adds the clicks it makes from the song's tempo and meter,
// started and stopped with the transport, and the click settings. The
// hosting layer implements it over the loop player's own interface; the
// settings reach the player as they are given (the metronome clamps them).
//
// Threads: the UI thread, except Start and Stop, which come from the
// transport's start and stop on whichever thread changes the transport.
#pragma once

#include "platform/media/MediaInterfaces.h"

class IMetronomePlayer : public IUnknown {
public:
    // The click filter, no reference added.
    virtual IBaseFilter* GetFilter() = 0;
    virtual HRESULT Start(LONG time) = 0;
    virtual HRESULT Stop() = 0;

    virtual HRESULT SetEnabled(BOOL on) = 0;
    virtual HRESULT SetVolume(float volume) = 0;
    virtual HRESULT SetFirstBeatUsesWave(BOOL wave) = 0;
    virtual HRESULT SetOtherBeatsUseWave(BOOL wave) = 0;
    // `first`: the first beat of a measure, else the other beats.
    virtual HRESULT SetBeatWave(BOOL first, const char* path) = 0;
    virtual HRESULT SetFirstBeatPitch(LONG note) = 0;
    virtual HRESULT SetFirstBeatVelocity(LONG velocity) = 0;
    virtual HRESULT SetOtherBeatsPitch(LONG note) = 0;
    virtual HRESULT SetOtherBeatsVelocity(LONG velocity) = 0;
    virtual HRESULT SetToneDuration(LONG ticks) = 0;
};
