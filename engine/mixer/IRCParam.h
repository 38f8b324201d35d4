// A remote-controlled parameter as a parameter set holds it: bound to one
// parameter group of the set (by its group key) and to one parameter of that
// group (its local index). Learning the message, receiving values and driving
// the parameter through the set's touch and value operations belong to the
// device subsystem's implementation; the set only creates, registers, saves
// and destroys these objects.
//
// Created on the UI thread; values arrive on the MIDI input thread and the
// gesture end on the timer thread, inside the implementation.
#pragma once

#include "devices/IRCTarget.h"
#include "platform/com/Persist.h"

class IRCParam : public virtual IRCTarget {
public:
    IRCParam* AsParam() override { return this; }

    // E_UNEXPECTED when no parameter interface is attached.
    virtual HRESULT SetParamIndex(DWORD localIndex) = 0;
    // Presets the learned message of a new parameter target: message kind,
    // MIDI channel (0xFFFF = any), top value, and two fields of the target's
    // own whose meaning lies with it.
    virtual void PresetMessage(DWORD kind, WORD channel, DWORD topValue, LONG tail, LONG mode) = 0;
    // Ends the capture at once when a gesture is in progress.
    virtual void EndGesture() = 0;
    // The object's saved form (a nested chunk of its map).
    virtual IPersistStreamInit* GetPersist() = 0;
};
