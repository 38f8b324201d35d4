// The MIDI source as the engine owner sets it up: it owns the open MIDI
// input ports and delivers each message to its priority receivers, which may
// consume it, then to its normal receivers. Owned by the engine owner.
// UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class CMidiSink;

class IMidiSource {
public:
    virtual ~IMidiSource() = default;

    // Reopens the saved input ports.
    virtual HRESULT Init() = 0;
    // E_FAIL when the sink is already in either set.
    virtual HRESULT AddSink(CMidiSink* sink) = 0;
    virtual HRESULT AddPrioritySink(CMidiSink* sink) = 0;
    // E_FAIL when the sink is not in that set.
    virtual HRESULT RemoveSink(CMidiSink* sink) = 0;
    virtual HRESULT RemovePrioritySink(CMidiSink* sink) = 0;
};
