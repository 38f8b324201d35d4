// The MIDI-effect host's periodic pulse: while any plug-in holds it open, the
// host runs every channel's MIDI-effect chain on its timer, so effects keep
// producing output while the transport is stopped.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxInputPulse, 0xF5C46121, 0x3C4A, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

struct IMfxInputPulse : public IUnknown {
    STDMETHOD(GetPulseInterval)(LONG* msecs) = 0;
    STDMETHOD(BeginPulse)() = 0;
    STDMETHOD(EndPulse)() = 0;
};
