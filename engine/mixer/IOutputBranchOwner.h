// What an output branch needs of the channel that owns it: the channel's id
// (which names the branch's filters), its parameter set (where the branch's
// effects keep their parameter groups, and whose display name names the
// branch in undo texts) and the channel's per-output objects. The channel
// implements it. UI thread.
#pragma once

#include "platform/com/Unknown.h"

class CControlParamSet;

class IOutputBranchOwner {
public:
    virtual SHORT GetChannelId() = 0;
    virtual CControlParamSet* GetParamSet() = 0;
    // The channel's object of that index with a reference; null when none.
    virtual IUnknown* GetChannelObject(LONG index) = 0;

protected:
    ~IOutputBranchOwner() = default;
};
