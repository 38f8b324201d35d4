// A receiver of live MIDI input: the MIDI source hands it every incoming
// short message (the input router, the quick remote-control dialog while it
// learns, the song document, the recorder). Called on the MIDI input thread
// or on the ReWire device's worker: a receiver protects its own state, is
// quick and never blocks for long.
#pragma once

#include "platform/win/WinTypes.h"

class CMidiSink {
public:
    virtual ~CMidiSink() = default;
    // message: status | d1 << 8 | d2 << 16; time: milliseconds from the
    // port. Non-zero when the receiver consumed the message.
    virtual int OnShortMsg(DWORD message, DWORD time, int port) { return 0; }
    // One whole system-exclusive message. Non-zero when consumed.
    virtual int OnLongMsg(DWORD length, const BYTE* bytes, int port) { return 0; }
    // Silences what live input left sounding: ResetLocked under the
    // receiver's own lock, ClearHeldNotes without taking it.
    virtual void ResetLocked() {}
    virtual void ClearHeldNotes() {}
};
