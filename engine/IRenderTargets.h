// The receivers of the data renderer, as the song document hands them out:
// its channels in ascending channel id order, its aux buses in ascending id
// order, and its master bus. A walk stops at the first receiver whose visit
// fails and returns that failure.
//
// Threads: as the broadcasts (IRenderTarget). Audio thread: no allocation,
// no blocking (every method).
#pragma once

#include "engine/IRenderTarget.h"

class IRenderTargetVisitor {
public:
    virtual HRESULT Visit(IRenderTarget* target) = 0;

protected:
    ~IRenderTargetVisitor() = default;
};

class IRenderTargets {
public:
    virtual HRESULT VisitChannels(IRenderTargetVisitor& visitor) = 0;
    virtual HRESULT VisitAuxBuses(IRenderTargetVisitor& visitor) = 0;
    // Null while the document has no master bus.
    virtual IRenderTarget* GetMainBusTarget() = 0;

protected:
    ~IRenderTargets() = default;
};
