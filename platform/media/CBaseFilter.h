// The common part of every filter: its state (stopped, paused, running), the
// reference clock, the graph it joined and its name there, and the pins that
// the derived filter supplies through GetPinCount and GetPin.
//
// Pausing from stopped activates every connected pin (output pins commit
// their allocators); stopping deactivates them. State calls run on the UI
// thread under the filter lock; the filter holds no reference on its graph.
#pragma once

#include <atomic>
#include <string>

#include "platform/media/CBasePin.h"
#include "platform/media/CCritSec.h"
#include "platform/media/CUnknown.h"
#include "platform/media/MediaInterfaces.h"

class CBaseFilter : public CUnknown, public IBaseFilter {
public:
    CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid, HRESULT* phr = nullptr);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD msTimeout, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    // Finds a pin by its id, which is its name.
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* vendorInfo) override;

    virtual int GetPinCount() = 0;
    // The n-th pin, without a reference of its own; null outside the range.
    virtual CBasePin* GetPin(int n) = 0;

    bool IsStopped() const { return m_State == State_Stopped; }
    bool IsActive() const { return m_State != State_Stopped; }
    IFilterGraph* GetFilterGraph() const { return m_pGraph; }
    const std::u16string& GraphName() const { return m_name; }

protected:
    CCritSec* m_pLock;
    // Written on the UI thread, read by streaming checks on the audio thread.
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    IReferenceClock* m_pClock = nullptr;  // referenced
    REFERENCE_TIME m_tStart = 0;
    CLSID m_clsid;
    IFilterGraph* m_pGraph = nullptr;  // not referenced: the graph holds the filter
    std::u16string m_name;
};
