// Assembles registered and non-registered parameter numbers from live
// controller messages, separately for every port and channel: controllers
// 99/98 (NRPN) and 101/100 (RPN) select a parameter, 6 and 38 enter its
// value, 96 and 97 step it. Each completed value goes to OnNrpnComplete.
// The input router, the remote-control learner and the recorder derive
// from it.
//
// Ports 0 .. kPorts - 1 have state; controllers from ports beyond are
// ignored. Called on the MIDI input thread only.
#pragma once

#include <array>

#include "platform/win/WinTypes.h"

class CNrpnContext {
public:
    static constexpr int kPorts = 64;
    enum ParserKind : DWORD { kNone = 0, kNrpn = 1, kRpn = 2 };

    CNrpnContext();
    virtual ~CNrpnContext() = default;

    // One controller message (status | d1 << 8 | d2 << 16) from `port`.
    void ParseNrpn(DWORD message, int port);
    // A data entry MSB alone does not complete a value while this is set.
    void SetWaitForLsb(bool wait) { m_waitForLsb = wait ? 1 : 0; }

    virtual void OnNrpnComplete(DWORD parserKind, int number, int channel, int value, int port) = 0;

private:
    struct Slot {
        DWORD kind = kNone;
        BYTE numberHigh = 0;
        BYTE numberLow = 0;
        BYTE valueHigh = 0;
        BYTE valueLow = 0;
        BOOL complete = FALSE;
    };

    DWORD m_waitForLsb = 0;
    std::array<Slot, kPorts * 16> m_slots{};
};
