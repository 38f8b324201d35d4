#include "plugins/synthframework/CFilterInputPin.h"

#include "platform/sync/ThreadAffinity.h"
#include "plugins/synthframework/CFilter.h"

namespace mvsynth {

CFilterInputPin::CFilterInputPin(CFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin("CFilterInputPin", filter, lock, phr, u"Input"), m_filter(filter)
{
}

HRESULT CFilterInputPin::CheckMediaType(const CMediaType* mt)
{
    if (m_checking)
        return S_OK;
    m_checking = true;
    HRESULT hr = m_filter->IsFormatAcceptable(false, mt);
    for (DWORD i = 0; hr == S_OK && i < m_filter->GetOutputPinCount(); ++i) {
        CFilterOutputPin* out = m_filter->OutputPinAt(i);
        if (out->IsConnected())
            hr = m_filter->IsTransformAcceptable(mt, &out->CurrentMediaType(), out->Id());
    }
    m_checking = false;
    return hr == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CFilterInputPin::SetMediaType(const CMediaType* mt)
{
    HRESULT hr = CBaseInputPin::SetMediaType(mt);
    if (FAILED(hr))
        return hr;
    return m_filter->SetFormat(false, mt);
}

HRESULT CFilterInputPin::CompleteConnect(IPin* receivePin)
{
    HRESULT hr = CBaseInputPin::CompleteConnect(receivePin);
    if (FAILED(hr))
        return hr;
    for (DWORD i = 0; i < m_filter->GetOutputPinCount(); ++i) {
        CFilterOutputPin* out = m_filter->OutputPinAt(i);
        if (!out->IsConnected() || m_filter->IsTransformAcceptable(&m_mt, &out->CurrentMediaType(), out->Id()) == S_OK)
            continue;
        IFilterGraph* graph = m_filter->GetFilterGraph();
        if (!graph)
            return VFW_E_NOT_IN_GRAPH;
        graph->Reconnect(out);
    }
    return S_OK;
}

HRESULT CFilterInputPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    if (HRESULT hr = CBaseInputPin::Receive(sample); hr != S_OK)
        return hr;
    return m_filter->Receive(sample);
}

HRESULT CFilterInputPin::EndOfStream()
{
    MV_ASSERT_AUDIO_THREAD();
    return m_filter->RenderTail();
}

HRESULT CFilterInputPin::BeginFlush()
{
    for (DWORD i = 0; i < m_filter->GetOutputPinCount(); ++i) {
        CFilterOutputPin* out = m_filter->OutputPinAt(i);
        if (out->IsConnected())
            if (HRESULT hr = out->DeliverBeginFlush(); FAILED(hr))
                return hr;
    }
    return CBaseInputPin::BeginFlush();
}

HRESULT CFilterInputPin::EndFlush()
{
    for (DWORD i = 0; i < m_filter->GetOutputPinCount(); ++i) {
        CFilterOutputPin* out = m_filter->OutputPinAt(i);
        if (out->IsConnected())
            if (HRESULT hr = out->DeliverEndFlush(); FAILED(hr))
                return hr;
    }
    return CBaseInputPin::EndFlush();
}

HRESULT CFilterInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    for (DWORD i = 0; i < m_filter->GetOutputPinCount(); ++i) {
        CFilterOutputPin* out = m_filter->OutputPinAt(i);
        if (out->IsConnected())
            if (HRESULT hr = out->DeliverNewSegment(start, stop, rate); FAILED(hr))
                return hr;
    }
    return CBaseInputPin::NewSegment(start, stop, rate);
}

}  // namespace mvsynth
