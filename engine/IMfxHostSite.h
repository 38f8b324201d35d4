// The MIDI-effect host site as its owner, the engine owner, drives it: the
// one COM object through which plug-ins see the song. The engine owner
// creates it at start-up, keeps one reference for the engine's life, hands
// it each document, and asks it (QueryInterface) for its time converter and
// meter map, through which every tick/sample conversion of the engine goes.
#pragma once

#include "platform/com/Unknown.h"

class ITransportDocument;

struct IMfxHostSite : public IUnknown {
    // Null also ends the site's pulse registration with the timer service.
    // UI thread.
    STDMETHOD(SetDocument)(ITransportDocument* document) = 0;
};
