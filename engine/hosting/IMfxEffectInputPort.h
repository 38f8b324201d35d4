// A MIDI effect's live input port as its wrapper calls it: its first
// operation takes the host, through which live input reaches the effect.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxEffectInputPort, 0x49C2EE08, 0x7DCA, 0x4DF3, 0x9A, 0x41, 0x35, 0xCF, 0xDB, 0x44, 0xF1, 0x2E);

struct IMfxEffectInputPort : IUnknown {
    STDMETHOD(SetInputCallback)(IUnknown* callback) = 0;
};
