// Input a MIDI-effect plug-in hands its host outside the event queues.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxInputCallback, 0xFA1B1A27, 0x8B1E, 0x4C4C, 0x9E, 0xAE, 0xF8, 0xC6, 0x0E, 0x05, 0x38, 0x1D);

struct IMfxInputCallback : public IUnknown {
    STDMETHOD(OnInput)(DWORD a, DWORD b) = 0;
};
