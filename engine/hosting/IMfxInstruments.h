// The host's instrument name lists, as MIDI-effect plug-ins ask for them:
// each operation hands out a new name-list set.
#pragma once

#include "engine/hosting/IMfxNameListSet.h"

MV_DEFINE_GUID(IID_IMfxInstruments, 0x6BFCA001, 0x043D, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

struct IMfxInstruments : public IUnknown {
    STDMETHOD(GetPatchNames)(IMfxNameListSet** set) = 0;
    STDMETHOD(GetNoteNames)(IMfxNameListSet** set) = 0;
    STDMETHOD(GetControllerNames)(IMfxNameListSet** set) = 0;
};
