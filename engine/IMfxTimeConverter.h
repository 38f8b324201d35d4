// The MIDI-effect host's time converter, as plug-ins and the engine call it:
// one record that holds a time in one of five formats, converted in place
// into another. The MIDI-effect host site implements it over the song's
// tempo and meter maps.
#pragma once

#include <cstddef>

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxTimeConverter, 0xFF94ABA0, 0x4DF9, 0x4120, 0x94, 0x7D, 0x5E, 0x30, 0x3E, 0x49, 0xB8, 0x1F);

// Formats of a time record. 6 to 9 exist in the plug-in standard but this
// host converts none of them.
enum MfxTimeFormat : DWORD {
    MfxTimeSeconds = 1,
    MfxTimeSamples = 2,
    MfxTimeTicks = 3,
    MfxTimeFixedTicks = 4,  // 48.16 fixed-point ticks
    MfxTimeMbt = 5,         // measure, beat, tick within the beat
};

// 16 bytes, crossing to plug-ins as laid out here.
struct MFX_TIME {
    DWORD format;  // MfxTimeFormat
    DWORD padding;
    union {
        double seconds;
        LONGLONG samples;
        LONGLONG fixedTicks;
        LONG ticks;
        struct {
            LONG measure;
            SHORT beat;
            SHORT tick;
        } mbt;
    };
};
static_assert(sizeof(MFX_TIME) == 16, "the time record is 16 bytes");
static_assert(offsetof(MFX_TIME, samples) == 8, "the value starts at byte 8");

struct IMfxTimeConverter : public IUnknown {
    // Converts the record in place to the target format and sets its format
    // field; S_OK untouched when both formats are the same.
    // Audio thread (the engine owner's per-buffer entry and plug-ins while
    // they process) and UI thread: no allocation, no blocking.
    STDMETHOD(ConvertTime)(MFX_TIME* time, DWORD targetFormat) = 0;
};
