// A remote-control target as the containers hold it: something a learned
// MIDI message drives. The device subsystem's targets (transport commands,
// remote-controlled parameters) derive from it; destroying one goes through
// its virtual destructor.
#pragma once

#include "platform/win/WinTypes.h"

class IRCParam;

class IRCTarget {
public:
    virtual ~IRCTarget() = default;
    // The target as a remote-controlled parameter; null for other kinds.
    virtual IRCParam* AsParam() = 0;
    // Re-attaches the target to its learned message, or detaches it; the MIDI
    // input router rebuilds its dispatch lists either way.
    virtual HRESULT Register() = 0;
    virtual HRESULT Unregister() = 0;
};

// Deletes a target; null is allowed. S_OK.
inline HRESULT DestroyRCTarget(IRCTarget* target)
{
    delete target;
    return S_OK;
}
