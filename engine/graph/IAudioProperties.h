// The audio renderer as the rest of the engine sees it: the engine's sample
// rate and the 64-bit count of sample frames pushed into the graph. The
// position is written by the audio thread and may be read from any thread.
#pragma once

#include "platform/win/WinTypes.h"

class IAudioProperties {
public:
    virtual ~IAudioProperties() = default;
    // Any thread, the audio thread included: no allocation, no blocking
    // (these two). The rate changes only on the UI thread while the device
    // is stopped.
    virtual int GetSampleRate() = 0;
    virtual LONGLONG GetSamplePosition() = 0;
};
