// A view that shows what belongs to the active container (the effect-graph
// view's inspector) and is told by the song document when the active
// container changes: a channel, an aux bus or the master bus, with its id.
// Registered with CMidiDoc::AddStateListener, not owned. UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class IDocStateChange {
public:
    virtual HRESULT OnChannelSelected(SHORT id) = 0;
    virtual HRESULT OnBusSelected(SHORT id) = 0;
    virtual HRESULT OnMainBusSelected(SHORT id) = 0;

protected:
    ~IDocStateChange() = default;
};
