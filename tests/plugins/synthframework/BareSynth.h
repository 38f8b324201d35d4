// The synth layer without a filter around it: the tests drive its queues and
// time services and hand its engine slices by hand.
#pragma once

#include "plugins/synthframework/CSoftSynth.h"

namespace mvtest {

class BareSynth : public mvsynth::CSoftSynth {
public:
    BareSynth(mvsynth::CDXi* engine, HRESULT* hr, const char* name = "Sine") : CSoftSynth(engine, name, hr) {}
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    HRESULT AddOutputPin(const WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT RemoveOutputPin(DWORD) override { return E_NOTIMPL; }
    HRESULT RemoveAllOutputPins() override { return E_NOTIMPL; }
    CBasePin* FindOutputPin(DWORD) override { return nullptr; }
    DWORD GetOutputPinCount() override { return 0; }
    LONG GetOutputPinId(DWORD) override { return -1; }
};

}  // namespace mvtest
