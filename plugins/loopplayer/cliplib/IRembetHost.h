// What a loop clip asks of the player that plays it: conversions between
// sample positions of the stream and 48.16 fixed-point ticks (960 ticks a
// quarter note) at the song's tempo, and the stream's sample rate. The
// player implements it over its synth context; three plain slots, no
// reference counting, as the clips hold the player only while it holds them.
//
// Audio thread and UI thread: the player answers without allocating or
// blocking.
#pragma once

#include "platform/win/WinTypes.h"

class IRembetHost {
public:
    virtual LONGLONG SamplesToFixedTicks(LONGLONG samples) = 0;
    virtual LONGLONG FixedTicksToSamples(LONGLONG ticks) = 0;
    virtual LONG GetSampleRate() = 0;

protected:
    ~IRembetHost() = default;
};
