// What a learned MIDI message drives: a listener maps the raw value the
// message decoded onto its target by one of ten modes (absolute with
// pickup, step table, two relative encodings, toggles, gate, trigger,
// switch) and drives the target through the slots a target fills.
//
// Threads: OnLearnedValue runs on the MIDI input thread (from the router's
// match); the fields are set on the UI thread while the listener is not
// registered.
#pragma once

#include <map>

#include "model/CKelPersistArchive.h"
#include "platform/win/WinTypes.h"

class CMidiMsg;

class CMidiMsgListener {
public:
    enum Mode : DWORD {
        kAbsolute = 0,
        kStepTable = 1,
        kRelativeSignBit = 2,
        kRelativeTwosComplement = 3,
        kToggleOnValue = 4,
        kOnOffValues = 5,
        kToggleAboveThreshold = 6,
        kGate = 7,
        kTrigger = 8,
        kSwitch = 9,
    };
    enum ValueType { kContinuous = 0, kSwitchValue = 1 };

    CMidiMsgListener() = default;
    virtual ~CMidiMsgListener() = default;

    // The mapping; S_FALSE when disabled or waiting for pickup, 0 when the
    // mode drives nothing for this value, else what the target answered.
    // MIDI input thread.
    virtual HRESULT OnLearnedValue(CMidiMsg* msg, LONG value, LONG maxValue);
    virtual HRESULT OnValue(CMidiMsg*, LONG) { return E_NOTIMPL; }
    virtual HRESULT SetState(CMidiMsg*, bool) { return E_NOTIMPL; }
    virtual HRESULT SetValue(CMidiMsg*, float) { return E_NOTIMPL; }
    virtual int GetValueType() { return kContinuous; }
    virtual LONG GetMinValue() { return 0; }
    virtual LONG GetMaxValue() { return 127; }
    virtual int GetTargetKind() = 0;
    virtual LONG GetTargetId() = 0;

    // The saved listener fields, part of the owning target's chunk.
    HRESULT PersistListener(CKelPersistArchive* archive);

    BOOL m_enabled = TRUE;
    std::map<DWORD, LONG> m_steps;  // mode 1: input value -> step
    LONG m_current = 0;
    LONG m_onValue = 0;
    LONG m_offValue = 0;
    LONG m_threshold = 0;
    DWORD m_mode = kAbsolute;
    BOOL m_pickup = FALSE;
    LONG m_lastInput = -1;  // while waiting for pickup
    BOOL m_waitingForPickup = TRUE;

private:
    LONG Clamp(LONG v);
    HRESULT Drive(CMidiMsg* msg, LONG maxValue);
};
