// One entry of a plug-in's parameter table: the description the host reads,
// the internal range the plug-in works in, and the texts of an enumeration
// (comma-separated, null when none). The table is the plug-in's own, static.
#pragma once

#include "platform/media/MediaParams.h"

namespace mvsynth {

// Parameters cross to the host between 0 and 1 unless the entry says
// otherwise; internally each plug-in maps them to its own units.
MV_DEFINE_GUID(IID_IMediaParamsSetUICallback, 0xF5011136, 0xC416, 0x48B9, 0x8C, 0x35, 0xE7, 0xC5, 0xF9, 0xAA, 0x6F,
               0xDF);

// The host's own callback, which an editor's gestures reach through the
// plug-in. UI thread.
struct IMediaParamsSetUICallback : IUnknown {
    STDMETHOD(SetUICallback)(IMediaParamsUICallback* callback) = 0;
};

struct MediaParamEntry {
    MP_PARAMINFO info;
    float internalMin;
    float internalMax;
    const WCHAR* enumTexts;

    // Host scale to internal: booleans snap at one half, integers and
    // enumerations round to the nearest step. A range of zero width gives
    // the internal minimum rather than a division by zero.
    float ToInternal(float x) const;
    // Internal to host scale; booleans pass unchanged. A zero internal range
    // gives the host minimum.
    float ToExternal(float x) const;
};

}  // namespace mvsynth
