// The phaser's own question to itself, asked by its property page through
// the filter: does the host give a tempo map, so that the Sync knob can
// follow the song's tempo?
#pragma once

#include "platform/com/Unknown.h"

namespace mvphaser {

MV_DEFINE_GUID(IID_ITempoSyncInfo, 0x47B207D1, 0x02B5, 0x4D58, 0x89, 0x30, 0x84, 0xBC, 0x47, 0x2F, 0x8B, 0xBD);

struct ITempoSyncInfo : IUnknown {
    // UI thread.
    STDMETHOD_(BOOL, IsTempoSyncAvailable)() = 0;
};

}  // namespace mvphaser
