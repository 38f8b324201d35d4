// The MIDI-learn engine: while it is a priority receiver of the MIDI source
// it turns the next channel voice message into the learned message of its
// target, and consumes it. Controllers also go through its NRPN parser, so
// a complete NRPN or RPN sequence makes the target an NRPN or RPN one.
//
// Threads: OnShortMsg runs on the MIDI input thread and writes straight
// into the target's learned message; the owner applies the result on the
// UI thread (OnLearned tells it).
#pragma once

#include "devices/CMidiSink.h"
#include "devices/CNrpnContext.h"

class CRCTarget;

class CRCLearner : public CMidiSink, public CNrpnContext {
public:
    // The target whose learned message to fill: E_INVALIDARG for null.
    HRESULT SetTarget(CRCTarget* target);
    CRCTarget* Target() const { return m_target; }

    // MIDI input thread: no allocation, no blocking (these two).
    int OnShortMsg(DWORD message, DWORD time, int port) override;
    void OnNrpnComplete(DWORD parserKind, int number, int channel, int value, int port) override;

    // After a short message was learned. MIDI input thread.
    virtual void OnLearned() {}

private:
    CRCTarget* m_target = nullptr;
};
