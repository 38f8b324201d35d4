#include "platform/media/CFilterGraph.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/com/ComRuntime.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/WideString.h"

namespace {

// Calls fn(pin) for every pin of the filter, with a reference held.
template <class Fn>
void ForEachPin(IBaseFilter* filter, Fn fn)
{
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || !pins)
        return;
    IPin* pin = nullptr;
    ULONG got = 0;
    while (pins->Next(1, &pin, &got) == S_OK && got == 1) {
        fn(pin);
        pin->Release();
    }
    pins->Release();
}

IBaseFilter* OwnerOf(IPin* pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info)))
        return nullptr;
    if (info.pFilter)
        info.pFilter->Release();  // the graph's reference keeps it alive
    return info.pFilter;
}

std::u16string NumberedName(const std::u16string& base, int n)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, " %04d", n);
    return base + mvwin::Utf8ToUtf16(digits);
}

// The graph is a built-in class of every program that links this library.
const bool g_registered = SUCCEEDED(mvcom::RegisterBuiltinClass(CLSID_FilterGraph, &CFilterGraph::CreateInstance));

}  // namespace

HRESULT CFilterGraph::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualGUID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    auto* graph = new (std::nothrow) CFilterGraph("CFilterGraph", outer);
    if (!graph)
        return E_OUTOFMEMORY;
    graph->NonDelegatingAddRef();
    HRESULT hr = graph->NonDelegatingQueryInterface(riid, ppv);
    graph->NonDelegatingRelease();
    return hr;
}

CFilterGraph::CFilterGraph(const char* objectName, IUnknown* outer) : CUnknown(objectName, outer) {}

CFilterGraph::~CFilterGraph()
{
    ChangeState(State_Stopped, 0);
    while (!m_filters.empty())
        RemoveFilter(m_filters.back().filter);
    if (m_pClock)
        m_pClock->Release();
}

HRESULT CFilterGraph::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv,
                                 {{&IID_IFilterGraph, static_cast<IFilterGraph*>(this)},
                                  {&IID_IGraphBuilder, static_cast<IGraphBuilder*>(this)},
                                  {&IID_IMediaControl, static_cast<IMediaControl*>(this)},
                                  {&IID_IMediaFilter, static_cast<IMediaFilter*>(this)},
                                  {&IID_IPersist, static_cast<IPersist*>(this)}});
    return hr == E_NOINTERFACE ? CUnknown::NonDelegatingQueryInterface(riid, ppv) : hr;
}

bool CFilterGraph::Contains(IBaseFilter* filter) const
{
    return std::any_of(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.filter == filter; });
}

bool CFilterGraph::NameInUse(const std::u16string& name) const
{
    return std::any_of(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.name == name; });
}

bool CFilterGraph::PinInGraph(IPin* pin) const
{
    IBaseFilter* owner = OwnerOf(pin);
    return owner && Contains(owner);
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name)
{
    MV_ASSERT_UI_THREAD();
    if (!filter)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    if (Contains(filter))
        return E_INVALIDARG;
    std::u16string wanted = name ? name : u"";
    HRESULT result = S_OK;
    if (NameInUse(wanted)) {
        int n = 1;
        while (NameInUse(NumberedName(wanted, n)))
            ++n;
        wanted = NumberedName(wanted, n);
        result = VFW_S_DUPLICATE_NAME;
    }
    HRESULT hr = filter->JoinFilterGraph(static_cast<IFilterGraph*>(this), wanted.c_str());
    if (FAILED(hr))
        return hr;
    filter->AddRef();
    m_filters.push_back({filter, wanted});
    if (m_pClock)
        filter->SetSyncSource(m_pClock);
    return result;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* filter)
{
    MV_ASSERT_UI_THREAD();
    if (!filter)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    auto it = std::find_if(m_filters.begin(), m_filters.end(), [&](const Entry& e) { return e.filter == filter; });
    if (it == m_filters.end())
        return VFW_E_NOT_FOUND;
    filter->Stop();
    ForEachPin(filter, [](IPin* pin) {
        IPin* peer = nullptr;
        if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
            peer->Disconnect();
            peer->Release();
        }
        pin->Disconnect();
    });
    filter->SetSyncSource(nullptr);
    filter->JoinFilterGraph(nullptr, nullptr);
    m_filters.erase(it);
    filter->Release();
    return S_OK;
}

HRESULT CFilterGraph::EnumFilters(IEnumFilters** filters)
{
    if (filters)
        *filters = nullptr;
    return E_NOTIMPL;
}

HRESULT CFilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter)
{
    if (!name || !filter)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    *filter = nullptr;
    for (const Entry& e : m_filters) {
        if (e.name == name) {
            *filter = e.filter;
            e.filter->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt)
{
    MV_ASSERT_UI_THREAD();
    if (!out || !in)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    if (!PinInGraph(out) || !PinInGraph(in))
        return VFW_E_NOT_IN_GRAPH;
    return out->Connect(in, mt);
}

HRESULT CFilterGraph::Reconnect(IPin*) { return E_NOTIMPL; }

HRESULT CFilterGraph::Disconnect(IPin* pin)
{
    MV_ASSERT_UI_THREAD();
    if (!pin)
        return E_POINTER;
    return pin->Disconnect();
}

HRESULT CFilterGraph::SetDefaultSyncSource() { return E_NOTIMPL; }

HRESULT CFilterGraph::Connect(IPin* out, IPin* in) { return ConnectDirect(out, in, nullptr); }

HRESULT CFilterGraph::Render(IPin*) { return E_NOTIMPL; }

HRESULT CFilterGraph::RenderFile(LPCWSTR, LPCWSTR) { return E_NOTIMPL; }

HRESULT CFilterGraph::AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter** filter)
{
    if (filter)
        *filter = nullptr;
    return E_NOTIMPL;
}

HRESULT CFilterGraph::SetLogFile(DWORD_PTR) { return S_OK; }

HRESULT CFilterGraph::Abort() { return S_OK; }

HRESULT CFilterGraph::ShouldOperationContinue() { return S_OK; }

std::vector<IBaseFilter*> CFilterGraph::DownstreamFirst() const
{
    // Edges from each filter to the filters its output pins feed.
    const std::size_t n = m_filters.size();
    std::vector<std::vector<std::size_t>> feeds(n);
    auto indexOf = [&](IBaseFilter* f) {
        for (std::size_t i = 0; i < n; ++i)
            if (m_filters[i].filter == f)
                return i;
        return n;
    };
    for (std::size_t i = 0; i < n; ++i) {
        ForEachPin(m_filters[i].filter, [&](IPin* pin) {
            PIN_DIRECTION dir;
            IPin* peer = nullptr;
            if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT)
                return;
            if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
                std::size_t j = indexOf(OwnerOf(peer));
                if (j < n)
                    feeds[i].push_back(j);
                peer->Release();
            }
        });
    }
    // Depth-first post-order: every filter after all it feeds.
    std::vector<IBaseFilter*> order;
    std::vector<int> mark(n, 0);
    auto visit = [&](auto&& self, std::size_t i) -> void {
        if (mark[i])
            return;
        mark[i] = 1;
        for (std::size_t j : feeds[i])
            self(self, j);
        order.push_back(m_filters[i].filter);
    };
    for (std::size_t i = 0; i < n; ++i)
        visit(visit, i);
    return order;
}

HRESULT CFilterGraph::ChangeState(FILTER_STATE target, REFERENCE_TIME start)
{
    CAutoLock lock(&m_lock);
    HRESULT result = S_OK;
    for (IBaseFilter* f : DownstreamFirst()) {
        HRESULT hr = target == State_Stopped ? f->Stop() : target == State_Paused ? f->Pause() : f->Run(start);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    m_State = target;
    return result;
}

HRESULT CFilterGraph::Run()
{
    CAutoLock lock(&m_lock);
    REFERENCE_TIME start = 0;
    if (m_pClock)
        m_pClock->GetTime(&start);
    return Run(start);
}

HRESULT CFilterGraph::Run(REFERENCE_TIME start)
{
    CAutoLock lock(&m_lock);
    if (m_State == State_Stopped) {
        HRESULT hr = ChangeState(State_Paused, 0);
        if (FAILED(hr))
            return hr;
    }
    return ChangeState(State_Running, start);
}

HRESULT CFilterGraph::Pause() { return ChangeState(State_Paused, 0); }

HRESULT CFilterGraph::Stop() { return ChangeState(State_Stopped, 0); }

HRESULT CFilterGraph::GetState(LONG, OAFilterState* state)
{
    if (!state)
        return E_POINTER;
    *state = m_State;
    return S_OK;
}

HRESULT CFilterGraph::GetState(DWORD, FILTER_STATE* state)
{
    if (!state)
        return E_POINTER;
    *state = m_State;
    return S_OK;
}

HRESULT CFilterGraph::StopWhenReady() { return Stop(); }

HRESULT CFilterGraph::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
}

HRESULT CFilterGraph::SetSyncSource(IReferenceClock* clock)
{
    CAutoLock lock(&m_lock);
    if (clock)
        clock->AddRef();
    if (m_pClock)
        m_pClock->Release();
    m_pClock = clock;
    HRESULT result = S_OK;
    for (const Entry& e : m_filters) {
        HRESULT hr = e.filter->SetSyncSource(clock);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

HRESULT CFilterGraph::GetSyncSource(IReferenceClock** clock)
{
    if (!clock)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    *clock = m_pClock;
    if (m_pClock)
        m_pClock->AddRef();
    return S_OK;
}
