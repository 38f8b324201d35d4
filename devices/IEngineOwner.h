// What an audio back-end calls of the engine owner: the per-buffer entry from
// its audio thread, and a reset request when the driver asks for one. The
// engine owner implements it; back-end tests drive a back-end with a fake.
#pragma once

#include "platform/win/WinTypes.h"

class IEngineOwner {
public:
    // out: the device buffer (interleaved stereo in the device format); in:
    // the device input of the same frames, or null; outBytes: the size of
    // `out`, used to write silence; frames: frames to produce, negative for
    // the graph's block size. S_OK also when silence was written.
    // Audio thread: no allocation, no blocking.
    virtual HRESULT ProcessBuffer(void* out, void* in, UINT outBytes, LONG frames) = 0;
    // Any thread: marks the device for reopening on the UI thread's next pass.
    virtual HRESULT RequestAudioReset() = 0;

protected:
    ~IEngineOwner() = default;
};
