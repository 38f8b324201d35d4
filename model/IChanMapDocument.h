// What the document's channel map needs of the document that owns it: the
// MIDI lock that the live MIDI fan-out holds (so it never walks a half-
// changed map) and the channel-graph upkeep after a channel came or went
// (solo and mute, arm state, the routing of the aux buses it sends to, the
// graph-dirty mark). C is the channel type. The song document implements
// it. UI thread.
#pragma once

#include "platform/win/WinTypes.h"
#include "uikit/core/CHeapCriticalSection.h"

template <class C>
class IChanMapDocument {
public:
    virtual CHeapCriticalSection* GetMidiLock() = 0;
    virtual HRESULT UpdateChannelGraph(C* channel) = 0;

protected:
    ~IChanMapDocument() = default;
};
