// The MIDI-effect host's marker list, as plug-ins call it.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxMarkerMap, 0x1DA99B21, 0xE091, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0B, 0x97);

struct IMfxMarkerMap : public IUnknown {
    // The last marker at or before the tick; -1 when there is none.
    STDMETHOD_(LONG, GetMarkerIndexAt)(LONG ticks) = 0;
    STDMETHOD_(LONG, GetMarkerCount)() = 0;
    // The name is task memory that the caller frees.
    STDMETHOD(GetMarkerAt)(LONG index, LONG* ticks, DWORD* flags, WCHAR** name) = 0;
};
