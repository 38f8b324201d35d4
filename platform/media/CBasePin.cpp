#include "platform/media/CBasePin.h"

#include <algorithm>

#include "platform/com/TaskMemory.h"
#include "platform/media/CBaseFilter.h"
#include "platform/media/CEnumMediaTypes.h"

namespace {

// Plain refusals of a type; anything else a connection attempt reports is a
// real failure worth passing on.
bool IsTypeRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

HRESULT AsTypeResult(HRESULT hr) { return (hr == S_OK || FAILED(hr)) ? hr : VFW_E_TYPE_NOT_ACCEPTED; }

}  // namespace

CBasePin::CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
                   PIN_DIRECTION dir)
    : CUnknown(objectName, nullptr), m_name(name ? name : u""), m_dir(dir), m_pLock(lock), m_pFilter(filter)
{
}

CBasePin::~CBasePin()
{
    if (m_Connected)
        m_Connected->Release();
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv,
                                 {{&IID_IPin, static_cast<IPin*>(this)},
                                  {&IID_IQualityControl, static_cast<IQualityControl*>(this)},
                                  {&IID_IUnknown, static_cast<IPin*>(this)}});
    return hr;
}

ULONG CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }

ULONG CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

bool CBasePin::IsStopped() const { return m_pFilter->IsStopped(); }

HRESULT CBasePin::ConnectionAllowed() const
{
    if (m_Connected)
        return VFW_E_ALREADY_CONNECTED;
    return IsStopped() ? S_OK : VFW_E_NOT_STOPPED;
}

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt)
{
    if (!receivePin)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    HRESULT hr = ConnectionAllowed();
    if (FAILED(hr))
        return hr;
    CMediaType wanted;
    if (mt)
        wanted = *mt;
    return AgreeMediaType(receivePin, mt ? &wanted : nullptr);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* mt)
{
    if (mt && !mt->IsPartiallySpecified())
        return AttemptConnection(receivePin, mt);
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int round = 0; round < 2; ++round) {
        IEnumMediaTypes* types = nullptr;
        HRESULT hr = round == 0 ? receivePin->EnumMediaTypes(&types) : EnumMediaTypes(&types);
        if (FAILED(hr) || !types)
            continue;
        hr = TryMediaTypes(receivePin, mt, types);
        types->Release();
        if (SUCCEEDED(hr))
            return S_OK;
        if (!IsTypeRefusal(hr) && hr != VFW_E_NO_ACCEPTABLE_TYPES)
            failure = hr;
    }
    return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types)
{
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (;;) {
        AM_MEDIA_TYPE* raw = nullptr;
        ULONG got = 0;
        if (types->Next(1, &raw, &got) != S_OK || got != 1 || !raw)
            break;
        CMediaType candidate(*raw);
        DeleteMediaType(raw);
        if (partial && !partial->MatchesPartial(&candidate))
            continue;
        HRESULT hr = AttemptConnection(receivePin, &candidate);
        if (SUCCEEDED(hr))
            return S_OK;
        if (!IsTypeRefusal(hr))
            failure = hr;
    }
    return failure;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* mt)
{
    return ConnectWith(receivePin, mt, true);
}

HRESULT CBasePin::ConnectWith(IPin* peer, const CMediaType* mt, bool connector)
{
    HRESULT hr = CheckConnect(peer);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = AsTypeResult(CheckMediaType(mt));
    if (hr != S_OK) {
        BreakConnect();
        return hr;
    }
    m_Connected = peer;
    m_Connected->AddRef();
    hr = SetMediaType(mt);
    if (SUCCEEDED(hr) && connector)
        hr = peer->ReceiveConnection(this, mt);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(peer);
        if (SUCCEEDED(hr))
            return S_OK;
        if (connector)
            peer->Disconnect();
    }
    BreakConnect();
    m_Connected->Release();
    m_Connected = nullptr;
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt)
{
    if (!connector || !mt)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    HRESULT hr = ConnectionAllowed();
    if (FAILED(hr))
        return hr;
    CMediaType type(*mt);
    return ConnectWith(connector, &type, false);
}

HRESULT CBasePin::Disconnect()
{
    CAutoLock lock(m_pLock);
    if (!IsStopped())
        return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal()
{
    if (!m_Connected)
        return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr))
        return hr;
    m_Connected->Release();
    m_Connected = nullptr;
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin)
{
    if (!pin)
        return E_POINTER;
    *pin = m_Connected;
    if (!m_Connected)
        return VFW_E_NOT_CONNECTED;
    m_Connected->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!m_Connected) {
        std::memset(mt, 0, sizeof(*mt));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(mt, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info)
{
    if (!info)
        return E_POINTER;
    info->pFilter = m_pFilter;
    m_pFilter->AddRef();
    info->dir = m_dir;
    const std::size_t n = std::min<std::size_t>(m_name.size(), MAX_PIN_NAME - 1);
    std::copy_n(m_name.data(), n, info->achName);
    info->achName[n] = 0;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* dir)
{
    if (!dir)
        return E_POINTER;
    *dir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* id)
{
    if (!id)
        return E_POINTER;
    auto* text = static_cast<WCHAR*>(CoTaskMemAlloc((m_name.size() + 1) * sizeof(WCHAR)));
    *id = text;
    if (!text)
        return E_OUTOFMEMORY;
    std::copy_n(m_name.c_str(), m_name.size() + 1, text);
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return E_POINTER;
    CMediaType type(*mt);
    HRESULT hr = CheckMediaType(&type);
    return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types)
        return E_POINTER;
    *types = CEnumMediaTypes::Create(this);
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    m_tStart = start;
    m_tStop = stop;
    m_dRate = rate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT CBasePin::SetSink(IQualityControl* sink)
{
    m_pQSink = sink;
    return S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* mt) { return m_mt.Set(*mt); }

HRESULT CBasePin::GetMediaType(int position, CMediaType*) { return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS; }

HRESULT CBasePin::CheckConnect(IPin* pin)
{
    PIN_DIRECTION dir;
    HRESULT hr = pin->QueryDirection(&dir);
    if (FAILED(hr))
        return hr;
    return dir == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }

HRESULT CBasePin::Active() { return S_OK; }

HRESULT CBasePin::Inactive() { return S_OK; }

HRESULT CBasePin::Run(REFERENCE_TIME) { return S_OK; }
