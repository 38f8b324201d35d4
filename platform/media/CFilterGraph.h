// The filter graph: holds the filters it was given (one reference each, under
// unique names), connects their pins directly, shares one reference clock with
// them, and moves them all between stopped, paused and running, downstream
// filters first so every receiver is ready before its upstream delivers.
//
// There are no worker threads: blocks travel through the graph inside the
// push call of its source. Every method here runs on the UI thread.
#pragma once

#include <vector>

#include "platform/media/CBaseFilter.h"
#include "platform/media/CCritSec.h"
#include "platform/media/CUnknown.h"

class CFilterGraph : public CUnknown, public IGraphBuilder, public IMediaControl, public IMediaFilter {
public:
    // The class behind CLSID_FilterGraph (registered as a built-in class when
    // the library loads): a new graph asked for riid.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    CFilterGraph(const char* objectName, IUnknown* outer);
    ~CFilterGraph() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // A name already in use gets " 0001" (the next free number) appended and
    // VFW_S_DUPLICATE_NAME; a filter already in the graph is E_INVALIDARG.
    STDMETHODIMP AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    // Stops the filter and disconnects both ends of each of its pins first.
    STDMETHODIMP RemoveFilter(IBaseFilter* filter) override;
    STDMETHODIMP EnumFilters(IEnumFilters** filters) override;
    STDMETHODIMP FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    // Both pins must belong to filters of this graph (VFW_E_NOT_IN_GRAPH).
    STDMETHODIMP ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP Reconnect(IPin* pin) override;
    STDMETHODIMP Disconnect(IPin* pin) override;
    STDMETHODIMP SetDefaultSyncSource() override;

    // Direct connection only: the graph inserts no filters of its own.
    STDMETHODIMP Connect(IPin* out, IPin* in) override;
    STDMETHODIMP Render(IPin* out) override;
    STDMETHODIMP RenderFile(LPCWSTR file, LPCWSTR playList) override;
    STDMETHODIMP AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;
    STDMETHODIMP SetLogFile(DWORD_PTR file) override;
    STDMETHODIMP Abort() override;
    STDMETHODIMP ShouldOperationContinue() override;

    // Run pauses a stopped graph first and starts it at the clock's present
    // time (0 without a clock). The first failing filter's result is returned.
    STDMETHODIMP Run() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP GetState(LONG msTimeout, OAFilterState* state) override;
    STDMETHODIMP StopWhenReady() override;

    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD msTimeout, FILTER_STATE* state) override;
    // Shared with every filter, present and future.
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

private:
    bool Contains(IBaseFilter* filter) const;
    bool NameInUse(const std::u16string& name) const;
    bool PinInGraph(IPin* pin) const;
    // The filters ordered so that each comes before the filters feeding it.
    std::vector<IBaseFilter*> DownstreamFirst() const;
    HRESULT ChangeState(FILTER_STATE target, REFERENCE_TIME start);

    struct Entry {
        IBaseFilter* filter;  // referenced
        std::u16string name;
    };

    CCritSec m_lock;
    std::vector<Entry> m_filters;
    IReferenceClock* m_pClock = nullptr;  // referenced
    FILTER_STATE m_State = State_Stopped;
};
