// What the MIDI sync generator needs of the engine around it: the
// transport's position and state, and the program's timer to call its clock
// tick at the timer's own period. The engine owner provides it.
#pragma once

#include "platform/win/WinTypes.h"

// Called on the timer's thread while scheduled.
class IMidiClockTick {
public:
    virtual void OnClockTick() = 0;

protected:
    ~IMidiClockTick() = default;
};

class IMidiSyncHost {
public:
    // The transport's current position in ticks. Any thread.
    virtual LONG GetSyncNowTicks() = 0;
    virtual bool IsSyncPlaying() = 0;
    // on: calls `tick` at the timer's period from now on; off: stops, and
    // when the timer thread is calling it at that moment, returns after
    // that call. Not from the timer's thread while a tick runs.
    virtual HRESULT ScheduleClockTick(IMidiClockTick* tick, bool on) = 0;

protected:
    ~IMidiSyncHost() = default;
};
