// A remote-controlled parameter: a learned MIDI message driving one
// automatable parameter of a channel, aux bus or the main bus. The values
// of one hand movement make one capture of the parameter: the first opens
// it (source 2, remote control), every value moves its end a second on,
// and a second without a value closes it (as does taking the target off
// its message).
//
// Saved (format 0x6012, chunk 0): the listener fields, the learned message
// as a nested chunk, the parameter index (32-bit) and the group key (two
// 16-byte ids).
//
// Threads: created, set and saved on the UI thread; SetValue on the MIDI
// input thread, OnTimer on the timer thread; both take the target lock.
#pragma once

#include <mutex>

#include "devices/CRCTarget.h"
#include "engine/CTimerClient.h"
#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/IRCParam.h"
#include "model/CKelPersistObject.h"

class CTimer;

class CMvRCParam : public CRCTarget, public CTimerClient, public CKelPersistObject, public IRCParam {
public:
    static constexpr WORD kMajor = 0x6012;
    // The touch source of remote control.
    static constexpr DWORD kTouchRemoteControl = 2;
    static constexpr DWORD kGestureMs = 1000;

    // E_POINTER for a null set or out; E_OUTOFMEMORY. `timer` ends the
    // gestures (none: only EndGesture does); `router` files the message.
    static HRESULT Create(CControlParamSet* set, REFGUID firstId, REFGUID secondId, CTimer* timer,
                          CMidiInputRouter* router, CMvRCParam** out);
    ~CMvRCParam() override;

    // IRCParam
    IRCParam* AsParam() override { return this; }
    HRESULT Register() override { return CRCTarget::Register(); }
    // Also ends an open gesture: no value comes any more.
    HRESULT Unregister() override;
    HRESULT SetParamIndex(DWORD localIndex) override;
    void PresetMessage(DWORD kind, WORD channel, DWORD topValue, LONG port, LONG mode) override;
    void EndGesture() override;
    IPersistStreamInit* GetPersist() override { return this; }

    int GetTargetKind() override { return 0; }
    // The set-wide id of the parameter; -1 when its group is not there.
    LONG GetTargetId() override;
    // MIDI input thread.
    HRESULT SetValue(CMidiMsg* msg, float value) override;
    // Timer thread: ends an open gesture.
    void OnTimer() override;

    bool IsInGesture() const { return m_gesture; }
    LONG GetParamIndex() const { return m_paramIndex; }
    const GroupKey& GetGroupKey() const { return m_key; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    CMvRCParam(CControlParamSet* set, REFGUID firstId, REFGUID secondId, CTimer* timer, CMidiInputRouter* router);

    LONG m_paramIndex = -1;
    CControlParamSet* m_set;
    bool m_gesture = false;
    GroupKey m_key;
    std::mutex m_lock;
    CTimer* m_timer;
};
