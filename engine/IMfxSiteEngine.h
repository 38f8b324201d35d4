// What the MIDI-effect host site needs of the engine owner: the timer service
// its pulse registers with and the engine's sample rate for time
// conversions. The engine owner implements it for the engine's life (it
// sits here, beside the engine owner, so the owner can).
#pragma once

#include "platform/win/WinTypes.h"

class CTimer;

class IMfxSiteEngine {
public:
    // Null while there is none.
    virtual CTimer* GetSiteTimer() = 0;
    // Audio thread: no allocation, no blocking.
    virtual int GetSiteSampleRate() = 0;

protected:
    ~IMfxSiteEngine() = default;
};
