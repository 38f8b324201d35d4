// The program's engine factory complete: every part the engine layer's
// factory makes, and the MIDI-effect host site, the recorder, the two
// clipboards and the ReWire-device back-end, which work on the song document
// of this layer and so cannot be made below it. The program hands this
// factory to its engine owner.
#pragma once

#include "engine/CEngineFactory.h"

class CHostingEngineFactory : public CEngineFactory {
public:
    // A new site with one reference, reading the timer and rate of `engine`.
    // E_POINTER for a null out, E_INVALIDARG without an engine.
    HRESULT CreateMfxHostSite(IMfxSiteEngine* engine, IMfxHostSite** site) override;
    // Null when out of memory.
    ITransportRecorder* CreateRecorder() override;
    ITransportClipboard* CreateClipboard() override;
    ITransportClipboard* CreateDragAndDropClipboard() override;
    // The back-end of device mode, following the host through `owner`, which
    // must be the program's engine owner (CTransport); null for any other.
    IRewireDevice* CreateRewireDevice(IEngineOwner* owner) override;
};
