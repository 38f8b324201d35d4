// Turns the controller messages of a standard MIDI file into events: the
// registered and non-registered parameter sequences (99/98 and 101/100
// select a parameter, 6/38 enter its value, 96/97 step it) become single
// 14-bit parameter events (RPN, NRPN); every other controller stays a
// controller event. One state per MIDI channel, kept by the caller for the
// length of one track.
#pragma once

#include "platform/win/WinTypes.h"

class CMfxEvent;

struct NRPN_CHANNEL_STATE {
    DWORD mode;  // 0 an RPN is selected, 1 an NRPN, 2 nothing
    DWORD paramMsb;
    DWORD paramLsb;
    DWORD dataMsb;
    DWORD dataLsb;
};

// All 16 to nothing selected.
void InitNrpnChannelStates(NRPN_CHANNEL_STATE states[16]);

// Feeds one controller of `channel` (0..15). 0: no event; 1: `out` is a new
// event; 2: a data entry LSB completed `previous` (the event its MSB made,
// no more than 120 ticks earlier).
int NrpnControllerToEvent(NRPN_CHANNEL_STATE states[16], LONG time, BYTE channel, int controller, int value,
                          CMfxEvent* previous, CMfxEvent* out);
