#include "engine/graph/CMergeSwitchInputPin.h"

#include "engine/graph/CMergeSwitch.h"
#include "platform/sync/ThreadAffinity.h"

CMergeSwitchInputPin::CMergeSwitchInputPin(CMergeSwitch* owner, HRESULT* phr, CDxFilterGraph* graph)
    : CDxInputPin("CMergeSwitchInputPin", owner, owner, phr, u"MergeSwitchIPin", graph), m_switch(owner)
{
}

HRESULT CMergeSwitchInputPin::CheckMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    return CMergeSwitch::CheckSwitchType(mt);
}

HRESULT CMergeSwitchInputPin::SetMediaType(const CMediaType* mt)
{
    HRESULT hr = CDxInputPin::SetMediaType(mt);
    if (FAILED(hr))
        return hr;
    if (const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat)) {
        m_rate = static_cast<int>(wfx->nSamplesPerSec);
        m_channels = wfx->nChannels;
    }
    return S_OK;
}

HRESULT CMergeSwitchInputPin::BreakConnect()
{
    HRESULT hr = CDxInputPin::BreakConnect();
    m_levelOnly = FALSE;
    return hr;
}

HRESULT CMergeSwitchInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly)
{
    if (!allocator)
        return E_FAIL;
    return CDxInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT CMergeSwitchInputPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    return m_switch->ReceiveOn(this, sample);
}

HRESULT CMergeSwitchInputPin::EndOfStream()
{
    CAutoLock lock(m_pLock);
    CMergeSwitchOutputPin* out = m_switch->OutputPin(m_switch->GetSelectedOutput());
    return out ? out->DeliverEndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CMergeSwitchInputPin::BeginFlush()
{
    CAutoLock lock(m_pLock);
    CMergeSwitchOutputPin* out = m_switch->OutputPin(m_switch->GetSelectedOutput());
    HRESULT hr = out ? out->DeliverBeginFlush() : VFW_E_NOT_CONNECTED;
    return FAILED(hr) ? hr : CDxInputPin::BeginFlush();
}

HRESULT CMergeSwitchInputPin::EndFlush()
{
    CAutoLock lock(m_pLock);
    CMergeSwitchOutputPin* out = m_switch->OutputPin(m_switch->GetSelectedOutput());
    HRESULT hr = out ? out->DeliverEndFlush() : VFW_E_NOT_CONNECTED;
    return FAILED(hr) ? hr : CDxInputPin::EndFlush();
}

HRESULT CMergeSwitchInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    CAutoLock lock(m_pLock);
    CMergeSwitchOutputPin* out = m_switch->OutputPin(m_switch->GetSelectedOutput());
    HRESULT hr = out ? out->DeliverNewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
    return FAILED(hr) ? hr : CDxInputPin::NewSegment(start, stop, rate);
}
