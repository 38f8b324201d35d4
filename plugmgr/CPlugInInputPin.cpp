#include "CPlugInInputPin.h"

#include "CPlugInFilter.h"
#include "platform/sync/ThreadAffinity.h"

CPlugInInputPin::CPlugInInputPin(CPlugInFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin("CPlugInInputPin", filter, lock, phr, u"Input"), m_filter(filter)
{
}

HRESULT CPlugInInputPin::CheckMediaType(const CMediaType* mt) { return m_filter->CheckInputType(mt); }

HRESULT CPlugInInputPin::SetMediaType(const CMediaType* mt)
{
    if (HRESULT hr = CBaseInputPin::SetMediaType(mt); FAILED(hr))
        return hr;
    return m_filter->SetInputType(mt);
}

HRESULT CPlugInInputPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    if (HRESULT hr = CBaseInputPin::Receive(sample); hr != S_OK)
        return hr;
    return m_filter->Receive(sample);
}

HRESULT CPlugInInputPin::EndOfStream()
{
    MV_ASSERT_AUDIO_THREAD();
    return m_filter->EndOfStream();
}

HRESULT CPlugInInputPin::BeginFlush()
{
    if (m_filter->OutputPin()->IsConnected())
        if (HRESULT hr = m_filter->OutputPin()->DeliverBeginFlush(); FAILED(hr))
            return hr;
    return CBaseInputPin::BeginFlush();
}

HRESULT CPlugInInputPin::EndFlush()
{
    if (m_filter->OutputPin()->IsConnected())
        if (HRESULT hr = m_filter->OutputPin()->DeliverEndFlush(); FAILED(hr))
            return hr;
    return CBaseInputPin::EndFlush();
}
