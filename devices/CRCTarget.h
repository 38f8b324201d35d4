// A remote-control target: one learned MIDI message driving something the
// user can control. It listens to its own message; registering attaches
// it (which files the message with the input router) and unregistering
// detaches it. Parameter targets and transport-command targets derive
// from it.
//
// Threads: Register, Unregister and copying on the UI thread; the listener
// slots on the MIDI input thread.
#pragma once

#include "devices/CMidiMsg.h"
#include "devices/CMidiMsgListener.h"
#include "devices/IRCTarget.h"

class CRCTarget : public CMidiMsgListener, public virtual IRCTarget {
public:
    explicit CRCTarget(CMidiInputRouter* router) : m_msg(router) {}
    ~CRCTarget() override;
    // The listener fields (step table included) and the learned message.
    CRCTarget& operator=(const CRCTarget& other);

    HRESULT OnValue(CMidiMsg*, LONG) override { return S_FALSE; }
    HRESULT SetState(CMidiMsg*, bool) override { return S_FALSE; }
    HRESULT SetValue(CMidiMsg*, float) override { return S_FALSE; }

    // IRCTarget: detach and re-attach after the learned message changed,
    // or detach; the router rebuilds its lists either way.
    HRESULT Register() override;
    HRESULT Unregister() override;

    // Deletes through the virtual destructor; null is allowed. 0.
    static HRESULT Destroy(CRCTarget* target);

    CMidiMsg& Msg() { return m_msg; }

protected:
    // The saved listener fields and the learned message, the start of
    // every target's chunk.
    HRESULT PersistTarget(CKelPersistArchive* archive);

private:
    CMidiMsg m_msg;
};
