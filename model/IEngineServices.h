// What patterns and pattern instances need of the engine owner (the
// transport): the loop-clip pool it keeps from engine start to shut-down, the
// recorder, and the sample rate of the filter graph, at which loop-clip
// positions are counted in frames.
//
// The engine owner registers itself for the process while the engine exists
// (SetEngineServices) and unregisters before it goes away; model code finds it
// with GetEngineServices, null while there is none. The registration is atomic,
// so the audio thread may read it.
#pragma once

#include "model/IClipPool.h"
#include "model/IRecorder.h"

class IEngineServices {
public:
    // Null while the engine has none.
    virtual IClipPool* GetClipPool() = 0;
    // Audio thread: no allocation, no blocking. Null while there is none.
    virtual IRecorder* GetRecorder() = 0;
    virtual DWORD GetSampleRate() = 0;

protected:
    ~IEngineServices() = default;
};

// Audio thread: no allocation, no blocking.
IEngineServices* GetEngineServices();
void SetEngineServices(IEngineServices* owner);
