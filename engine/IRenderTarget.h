// One receiver of the data renderer's broadcasts: a channel, an aux bus or
// the master bus. Channels take every broadcast; the buses take locate,
// stop, start, loop and render only (the renderer never calls the other
// two on them). Times are ticks.
//
// Threads: OnLocate and OnRecordingChanged on the UI thread under the
// engine owner's locks; the others also on the audio thread inside the
// per-buffer entry.
#pragma once

#include "platform/win/WinTypes.h"

class IRenderTarget {
public:
    virtual HRESULT OnLocate(LONG tick) = 0;
    // Audio thread: no allocation, no blocking (the five below).
    virtual HRESULT OnStop(LONG tick) = 0;
    virtual HRESULT OnStart(LONG tick) = 0;
    virtual HRESULT OnLoop(LONG loopStart, LONG loopEnd) = 0;
    // Delivers the queued live input at the tick.
    virtual HRESULT ProcessLiveInput(LONG tick) = 0;
    // Turns what plays in [fromTick, toTick) into events for the synths.
    virtual HRESULT RenderSpan(LONG fromTick, LONG toTick) = 0;
    virtual HRESULT OnRecordingChanged(BOOL recording) = 0;

protected:
    ~IRenderTarget() = default;
};
