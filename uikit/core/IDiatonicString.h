// Note names for others than the pitch property: one operation that writes
// the name of a note number as a key spells it.
#pragma once

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class IDiatonicString {
public:
    virtual ~IDiatonicString() = default;
    // note 0..127, or 128..139 for a pitch class without octave; spelling 0
    // (as the key row spells it) or 1..3 (raised, plain, lowered); key row
    // 0..7 (sharps of the major key). False, with "???" written, for a note
    // or key row outside those.
    virtual bool FormatPitch(int note, int spelling, int keyRow, CString* out) = 0;
};
