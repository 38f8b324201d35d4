// What a channel timeline needs of the channel that embeds it: the
// notifications when an instance enters or leaves the timeline (the channel
// resets play cursors and registers, unregisters or stops loop clips), the
// channel's place in the track order (for undo texts) and the loop-clip host
// of its first synth. The channel implements it.
//
// UI thread only.
#pragma once

#include "engine/ILoopClipHost.h"

class ITimelineOwner {
public:
    virtual HRESULT OnInstanceInserted(DWORD instanceId) = 0;
    // clipId: the removed instance's pattern's clip id, 0xFFFFFFFF for none.
    virtual HRESULT OnInstanceRemoved(DWORD instanceId, DWORD clipId) = 0;
    // 0 for the first track.
    virtual int GetTrackIndex() = 0;
    // Null when the first synth has none.
    virtual ILoopClipHost* GetLoopClipHost() = 0;

protected:
    ~ITimelineOwner() = default;
};
