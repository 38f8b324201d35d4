// The relay a parameter set gives a plug-in for its editor's gestures: it
// speaks for one parameter group of one set, turns the plug-in's local
// parameter indices into the set's ids and relays begin capture, value
// changes and end capture as touch begin, user value changes and touch end
// (touch source 4, the plug-in editor). So a control moved in a plug-in's
// window is recorded, undone and shown like a fader of the mixer.
//
// The set creates and destroys the relay: while the set holds it, Release
// never deletes it (at 0 it only returns 0). When the group goes, a relay
// that no plug-in holds is deleted at once; one that a plug-in still holds
// (a removed synth kept alive until the next graph rebuild) is cut off from
// the set, answers E_UNEXPECTED, and goes with the plug-in's last Release.
// The reference count is atomic.
//
// The plug-in's editor calls it on the UI thread.
#pragma once

#include <atomic>

#include "engine/mixer/CControlParamSet.h"
#include "platform/media/MediaParams.h"

class CParamCallbackProxy : public IMediaParamsUICallback {
public:
    CParamCallbackProxy(CControlParamSet* owner, const GroupKey& key);
    virtual ~CParamCallbackProxy() = default;

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    // E_UNEXPECTED, nothing relayed, when the plug-in names more parameters
    // than the group has.
    STDMETHOD(ParamsBeginCapture)(DWORD* indices, DWORD count) override;
    // The owner's group-value update; any success becomes S_OK.
    STDMETHOD(ParamsChanged)(DWORD* indices, DWORD count, MP_DATA* values) override;
    STDMETHOD(ParamsEndCapture)(DWORD* indices, DWORD count) override;

    const GroupKey& GetKey() const { return m_key; }

private:
    HRESULT RelayTouch(const DWORD* indices, DWORD count, bool begin);

    friend void DestroyParamCallbackProxy(CParamCallbackProxy* proxy);

    // Null once the set let go of the relay.
    CControlParamSet* m_owner;
    GroupKey m_key;
    // The plug-ins' references, plus one while the set holds the relay.
    std::atomic<LONG> m_refs{1};
    std::atomic<bool> m_owned{true};
};

// E_POINTER for a null out, E_INVALIDARG for a null owner, E_OUTOFMEMORY.
HRESULT CreateParamCallbackProxy(CControlParamSet* owner, const GroupKey& key, CParamCallbackProxy** proxy);
// The set lets go of the relay (see above). Nothing for null.
void DestroyParamCallbackProxy(CParamCallbackProxy* proxy);
