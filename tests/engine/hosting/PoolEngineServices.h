// The engine owner as model code finds it (IEngineServices), for songs of
// loop players in tests and benches: the real clip pool that the song
// document hands its loop players, no recorder, and the graph's rate.
#pragma once

#include "engine/CClipPool.h"
#include "model/IEngineServices.h"

namespace songplay {

struct PoolEngineServices final : IEngineServices {
    explicit PoolEngineServices(DWORD sampleRate) : rate(sampleRate) {}
    IClipPool* GetClipPool() override { return &pool; }
    IRecorder* GetRecorder() override { return nullptr; }
    DWORD GetSampleRate() override { return rate; }
    CClipPool pool;
    DWORD rate;
};

}  // namespace songplay
