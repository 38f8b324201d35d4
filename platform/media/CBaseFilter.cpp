#include "platform/media/CBaseFilter.h"

#include <algorithm>

#include "platform/media/CEnumPins.h"

CBaseFilter::CBaseFilter(const char* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid, HRESULT*)
    : CUnknown(objectName, outer), m_pLock(lock), m_clsid(clsid)
{
}

CBaseFilter::~CBaseFilter()
{
    if (m_pClock)
        m_pClock->Release();
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv,
                                 {{&IID_IBaseFilter, static_cast<IBaseFilter*>(this)},
                                  {&IID_IMediaFilter, static_cast<IMediaFilter*>(this)},
                                  {&IID_IPersist, static_cast<IPersist*>(this)}});
    return hr == E_NOINTERFACE ? CUnknown::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CBaseFilter::Stop()
{
    CAutoLock lock(m_pLock);
    HRESULT result = S_OK;
    if (m_State != State_Stopped) {
        const int n = GetPinCount();
        for (int i = 0; i < n; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                HRESULT hr = pin->Inactive();
                if (FAILED(hr) && SUCCEEDED(result))
                    result = hr;
            }
        }
    }
    m_State = State_Stopped;
    return result;
}

HRESULT CBaseFilter::Pause()
{
    CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        const int n = GetPinCount();
        for (int i = 0; i < n; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                HRESULT hr = pin->Active();
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start)
{
    CAutoLock lock(m_pLock);
    m_tStart = start;
    if (m_State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    if (m_State != State_Running) {
        const int n = GetPinCount();
        for (int i = 0; i < n; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                HRESULT hr = pin->Run(start);
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    m_State = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state)
        return E_POINTER;
    *state = m_State;
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock)
{
    CAutoLock lock(m_pLock);
    if (clock)
        clock->AddRef();
    if (m_pClock)
        m_pClock->Release();
    m_pClock = clock;
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    *clock = m_pClock;
    if (m_pClock)
        m_pClock->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins)
{
    if (!pins)
        return E_POINTER;
    *pins = CEnumPins::Create(this);
    return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!id || !pin)
        return E_POINTER;
    *pin = nullptr;
    const int n = GetPinCount();
    for (int i = 0; i < n; ++i) {
        CBasePin* p = GetPin(i);
        if (p && p->Name() == id) {
            *pin = p;
            p->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info)
        return E_POINTER;
    const std::size_t n = std::min<std::size_t>(m_name.size(), MAX_FILTER_NAME - 1);
    std::copy_n(m_name.data(), n, info->achName);
    info->achName[n] = 0;
    info->pGraph = m_pGraph;
    if (m_pGraph)
        m_pGraph->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    CAutoLock lock(m_pLock);
    m_pGraph = graph;
    m_name = (graph && name) ? name : u"";
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR* vendorInfo)
{
    if (vendorInfo)
        *vendorInfo = nullptr;
    return E_NOTIMPL;
}
