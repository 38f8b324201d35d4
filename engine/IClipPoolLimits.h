// The loop-clip pool as the engine owner sets it up: the two limits handed to
// every clip loaded from a file, and the pool as patterns and timelines reach
// it through the engine owner. Owned by the engine owner; UI thread.
#pragma once

#include "model/IClipPool.h"
#include "platform/win/WinTypes.h"

class IClipPoolLimits {
public:
    virtual ~IClipPoolLimits() = default;

    // The most beats a sliced loop may have and the longest clip in seconds.
    virtual void SetLimits(LONG beatLimit, double secondsLimit) = 0;
    // The pool itself; null for a stand-in that keeps no clips.
    virtual IClipPool* GetClipPool() = 0;
};
