// An outer filter object for stand-ins of plug-ins: the engine graph's null
// synth does the filter's work, and the subclass answers the plug-in's own
// interfaces (Face). Deleted with its last reference.
#pragma once

#include <atomic>

#include "engine/graph/CNullSynth.h"

namespace mvtest {

class NullSynthOuter : public IBaseFilter {
public:
    explicit NullSynthOuter(CNullSynth* synth) : m_synth(synth) {}
    virtual ~NullSynthOuter() { m_synth->Release(); }
    // The object's part for the interface beyond the filter's; null when
    // it has none.
    virtual IUnknown* Face(REFIID riid) = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        IUnknown* face = Face(riid);
        if (face == nullptr && (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IBaseFilter)))
            face = static_cast<IBaseFilter*>(this);
        if (face == nullptr)
            return m_synth->QueryInterface(riid, ppv);
        *ppv = face;
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
    STDMETHODIMP GetClassID(CLSID* clsid) override { return m_synth->GetClassID(clsid); }
    STDMETHODIMP Stop() override { return m_synth->Stop(); }
    STDMETHODIMP Pause() override { return m_synth->Pause(); }
    STDMETHODIMP Run(REFERENCE_TIME t) override { return m_synth->Run(t); }
    STDMETHODIMP GetState(DWORD ms, FILTER_STATE* s) override { return m_synth->GetState(ms, s); }
    STDMETHODIMP SetSyncSource(IReferenceClock* c) override { return m_synth->SetSyncSource(c); }
    STDMETHODIMP GetSyncSource(IReferenceClock** c) override { return m_synth->GetSyncSource(c); }
    STDMETHODIMP EnumPins(IEnumPins** pins) override { return m_synth->EnumPins(pins); }
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override { return m_synth->FindPin(id, pin); }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override { return m_synth->QueryFilterInfo(info); }
    STDMETHODIMP JoinFilterGraph(IFilterGraph* g, LPCWSTR n) override { return m_synth->JoinFilterGraph(g, n); }
    STDMETHODIMP QueryVendorInfo(LPWSTR* v) override { return m_synth->QueryVendorInfo(v); }

    // A new object of the class over a null synth of `graph`, asked for
    // riid: a class creator's body.
    template <class Outer>
    static HRESULT Make(CDxFilterGraph* graph, IUnknown* outer, REFIID riid, void** ppv)
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        CNullSynth* synth = nullptr;
        if (HRESULT hr = CNullSynth::Create(graph, 1, &synth); FAILED(hr))
            return hr;
        auto* object = new Outer(synth);
        object->AddRef();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

private:
    CNullSynth* m_synth;
    std::atomic<ULONG> m_refs{0};
};

}  // namespace mvtest
