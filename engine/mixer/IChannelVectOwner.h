// What a channel's synth and output vectors need of the channel: its synth
// and output lock, held across each change and the upkeep after it, the
// graph and routing upkeep, the output parameters, the selected output, its
// parameter set and MIDI-effect chain, the loop clips of its timeline, the
// document's keep-alive set and the synth's property window. The channel
// implements it. UI thread.
#pragma once

#include "platform/com/Unknown.h"
#include "uikit/core/CHeapCriticalSection.h"

class CControlParamSet;
class ISynthWrap;

class IChannelVectOwner {
public:
    virtual CHeapCriticalSection* GetSynthOutputLock() = 0;
    // Marks the channel changed and the document's graph dirty.
    virtual HRESULT MarkGraphDirty() = 0;
    // Marks the graph dirty and has the output branches rebuilt.
    virtual HRESULT OnRoutingChanged() = 0;
    virtual HRESULT BuildOutputParams() = 0;
    virtual HRESULT RefreshChannelParams() = 0;
    virtual int GetCurrentOutput() = 0;
    virtual HRESULT SetCurrentOutput(int output) = 0;
    virtual HRESULT RegisterAllLoopClips() = 0;
    virtual CControlParamSet* GetParamSet() = 0;
    // The MIDI-effect chain hears of the new synth filter (null: none).
    virtual HRESULT NotifySynthChanged(IUnknown* synthFilter) = 0;
    virtual HRESULT KeepObjectAlive(IUnknown* object) = 0;
    virtual HRESULT CloseSynthPropertyPage(ISynthWrap* wrap) = 0;

protected:
    ~IChannelVectOwner() = default;
};
