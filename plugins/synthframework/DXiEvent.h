// The synth layer's queued event: 40 bytes, of which the first 20 are the
// host's event record laid out from its time field on and padded to 20,
// followed by where the event came from and when it plays.
//
// The host's record is 17 packed bytes; the two meet only in
// DXiEventFromMfx and MfxEventFromDXi, which copy field by field, so
// neither side ever reads 20 bytes out of a 17-byte record.
//
// Threads: a value; the conversions allocate nothing (audio thread).
#pragma once

#include "plugins/synthframework/MfxSynth.h"

namespace mvsynth {

// Where an event came from.
enum : DWORD { kDXiFromMidi = 1, kDXiFromQueue = 2 };

#pragma pack(push, 1)
struct DXiEvent {
    DWORD time;      // host ticks
    BYTE port;       // 0 for raw MIDI
    BYTE channel;    // 0-15
    DWORD kind;      // kMfxNote ...
    BYTE data[7];    // the kind's bytes, as in the host's record
    BYTE reserved1[3];
    DWORD source;    // the host's key of where the event came from
    LONGLONG sampleTime;  // on the rendered-total scale
    DWORD reserved2;
    DWORD origin;    // kDXiFromMidi or kDXiFromQueue

    // Note fields (kind 0).
    BYTE Key() const { return data[0]; }
    BYTE Velocity() const { return data[1]; }
    void SetKey(BYTE key) { data[0] = key; }
    void SetVelocity(BYTE velocity) { data[1] = velocity; }
    DWORD Duration() const;
    void SetDuration(DWORD duration);
};
#pragma pack(pop)
static_assert(sizeof(DXiEvent) == 40, "the queued event is 40 bytes");

// The host's record as the first 20 bytes of a queued event; the rest zero.
// Audio thread: no allocation, no blocking.
DXiEvent DXiEventFromMfx(const MfxEvent& event);
// The host's record of a queued event's first 20 bytes.
// Audio thread: no allocation, no blocking.
MfxEvent MfxEventFromDXi(const DXiEvent& event);

}  // namespace mvsynth
