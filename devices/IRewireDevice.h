// The audio back-end of the program running as a ReWire device of another
// host, as the engine owner drives it: an audio device like the others, plus
// the commands that carry the user's transport changes to the host and the
// host's sample rate. Owned by the engine owner; UI thread.
//
// The host commands send nothing while the engine owner applies the host's
// own state (its host-call counter is above 0).
#pragma once

#include "devices/IAudioDevice.h"

class IRewireDevice : public IAudioDevice {
public:
    virtual HRESULT SendHostStop() = 0;
    virtual HRESULT SendHostPlay() = 0;
    virtual HRESULT SendHostLoop(LONG loopStart, LONG loopEnd, BOOL on) = 0;
    // S_FALSE, sending nothing, while the transport plays.
    virtual HRESULT SendHostReposition(LONG tick) = 0;
    // The host's sample rate.
    virtual int GetSampleRate() = 0;
};
