// The loop-clip host of a channel's first synth (the loop player), as a
// channel and its timeline use it: registering a clip for a timeline
// instance, registering it again when the instance comes back, and
// unregistering it when the instance leaves. The loop player's own
// interface sits behind it.
//
// UI thread only.
#pragma once

#include "model/ILoopClip.h"

class ILoopClipHost {
public:
    // How a registered clip plays.
    static constexpr int kModeTimeline = 1;
    static constexpr int kModePreview = 2;

    // Registers a clip made from `clip` for the instance id; the clip pool
    // then holds it under that id. *registered is the new clip.
    virtual HRESULT RegisterClip(DWORD instanceId, int mode, ILoopClip* clip, ILoopClip** registered) = 0;
    // Registers again, for the instance id, the clip the pool already keeps
    // under it (an instance placed back by undo keeps its clip).
    virtual HRESULT ReregisterClip(DWORD instanceId, ILoopClip* clip) = 0;
    // The clip of the instance id stops playing from the timeline.
    virtual HRESULT UnregisterClip(DWORD instanceId) = 0;

protected:
    ~ILoopClipHost() = default;
};
