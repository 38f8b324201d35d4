// The MIDI-effect host's key-signature map, as plug-ins call it. Meter and
// key share one map in this host, so the indices are the meter map's.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxKeySigMap, 0xA489E601, 0x0247, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0B, 0x97);

struct IMfxKeySigMap : public IUnknown {
    STDMETHOD_(LONG, GetKeySigIndexAt)(LONG ticks) = 0;
    STDMETHOD_(LONG, GetKeySigCount)() = 0;
    STDMETHOD(GetKeySigAt)(LONG index, LONG* ticks, LONG* key) = 0;
};
