// The loop-clip host of a loop-player synth: a channel's timeline and
// previews register their clips with the player through it. A clip for an
// instance is a linked copy of the pattern's clip (it plays the pattern's
// sound with the instance's own start, end and transpose), made by the
// player in the engine's clip pool under the instance id and played from
// then on; unregistering lets the pool drop it.
//
// The host asks its wrapper for the player on every call, so a plug-in that
// is unloaded and made again is reached without the host being told.
//
// UI thread only.
#pragma once

#include "engine/ILoopClipHost.h"

class CFilterWrap;

class CLoopPlayerClipHost final : public ILoopClipHost {
public:
    explicit CLoopPlayerClipHost(const CFilterWrap& wrap) : m_wrap(wrap) {}
    CLoopPlayerClipHost(const CLoopPlayerClipHost&) = delete;
    CLoopPlayerClipHost& operator=(const CLoopPlayerClipHost&) = delete;

    // The player makes a clip linked to `clip` (a clip of the engine's pool)
    // under the instance id and plays it in `mode`; *registered is the
    // pool's face of it. An instance that has its clip already (a loaded
    // project registers every instance when the timeline enters and again
    // when its saved clip states are read) gets that clip back, played
    // again. E_POINTER for a null clip or out, E_INVALIDARG for a clip that
    // is not the pool's, E_FAIL without a player or a pool of the engine's.
    HRESULT RegisterClip(DWORD instanceId, int mode, ILoopClip* clip, ILoopClip** registered) override;
    // The player plays again the clip the pool keeps under the instance id;
    // S_FALSE when it plays it already.
    HRESULT ReregisterClip(DWORD instanceId, ILoopClip* clip) override;
    // The player stops playing the instance's clip and the pool drops it;
    // S_FALSE when the player did not play it.
    HRESULT UnregisterClip(DWORD instanceId) override;

private:
    const CFilterWrap& m_wrap;
};
