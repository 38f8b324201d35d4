// The texts of a gain-pan filter's parameters as the mixer shows them, shared
// by the channels' outputs and the buses. UI thread.
#pragma once

#include "platform/media/MediaParams.h"
#include "platform/win/CString.h"

// `rule` is the filter's parameter index (1 volume in decibels, 3 spread in
// degrees, 4 pan, 5 mute); any other gives "On"/"Off" for a boolean and a
// percentage otherwise. `value` is normalised over the description's range.
void FormatGainPanValue(DWORD rule, const MP_PARAMINFO& info, float value, CString* text);
