// Notices a MIDI-effect plug-in sends its host.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxNotifyHost, 0x439E1EF6, 0x2CBA, 0x48F8, 0xA8, 0x57, 0x51, 0xC5, 0x72, 0x4A, 0x4F, 0x6C);

struct IMfxNotifyHost : public IUnknown {
    STDMETHOD(OnPlugInNotify)(DWORD code, DWORD a, DWORD b) = 0;
};
