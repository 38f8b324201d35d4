// The common body of the tests' own MIDI-effect plug-ins: reference
// counting, an event filter that does nothing, and the persistence
// interfaces around the state a derived effect loads and saves. A derived
// effect answers further interfaces through QueryMore.
#pragma once

#include <atomic>

#include "engine/hosting/CMfxFilterWrap.h"
#include "platform/com/Persist.h"

namespace mvtest {

class MidiEffectBase : public IMfxEventFilter, public IPersistStream {
public:
    explicit MidiEffectBase(const CLSID& clsid) : m_clsid(clsid) {}
    virtual ~MidiEffectBase() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMfxEventFilter))
            *ppv = static_cast<IMfxEventFilter*>(this);
        else if (IsEqualGUID(riid, IID_IPersistStream) || IsEqualGUID(riid, IID_IPersist))
            *ppv = static_cast<IPersistStream*>(this);
        else if (!(*ppv = QueryMore(riid)))
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (!left)
            delete this;
        return left;
    }
    // The host is not kept.
    STDMETHODIMP Connect(IUnknown* host) override
    {
        if (host)
            host->Release();
        return S_OK;
    }
    STDMETHODIMP Disconnect() override { return S_OK; }
    STDMETHODIMP OnStart(LONG) override { return S_OK; }
    STDMETHODIMP OnLoop(LONG, LONG, LONG) override { return S_OK; }
    STDMETHODIMP OnStop(LONG) override { return S_OK; }
    STDMETHODIMP OnEvents(LONG, LONG, IMfxEventQueue*, IMfxEventQueue*) override { return S_OK; }
    STDMETHODIMP OnInput(IMfxDataQueue*, IMfxDataQueue*) override { return S_OK; }
    STDMETHODIMP GetClassID(CLSID* clsid) override
    {
        *clsid = m_clsid;
        return S_OK;
    }
    STDMETHODIMP IsDirty() override { return S_FALSE; }

protected:
    // A further interface of the effect, no reference added; null for none.
    virtual void* QueryMore(REFIID) { return nullptr; }

private:
    CLSID m_clsid;
    std::atomic<ULONG> m_refs{0};
};

// A class factory entry for an effect of type T.
template <class T>
HRESULT MakeMidiEffect(IUnknown* outer, REFIID riid, void** ppv)
{
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* e = new T;
    e->AddRef();
    const HRESULT hr = e->QueryInterface(riid, ppv);
    e->Release();
    return hr;
}

}  // namespace mvtest
