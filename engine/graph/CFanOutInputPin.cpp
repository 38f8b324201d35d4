#include "engine/graph/CFanOutInputPin.h"

#include "engine/graph/CFanOutFilter.h"
#include "platform/sync/ThreadAffinity.h"

CFanOutInputPin::CFanOutInputPin(const char* objectName, CFanOutFilter* owner, HRESULT* phr, LPCWSTR name,
                                 CDxFilterGraph* graph)
    : CDxInputPin(objectName, owner, owner, phr, name, graph), m_owner(owner)
{
}

HRESULT CFanOutInputPin::CheckMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    return m_owner->CheckPinType(this, mt);
}

HRESULT CFanOutInputPin::SetMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    HRESULT hr = CDxInputPin::SetMediaType(mt);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CFanOutInputPin::BreakConnect()
{
    m_owner->HoldAllocator(nullptr);
    return CDxInputPin::BreakConnect();
}

HRESULT CFanOutInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly)
{
    if (!allocator)
        return E_FAIL;
    m_owner->HoldAllocator(allocator);
    return CDxInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT CFanOutInputPin::Receive(IMediaSample* sample)
{
    MV_ASSERT_AUDIO_THREAD();
    return m_owner->FanOut(sample);
}

HRESULT CFanOutInputPin::EndOfStream()
{
    CAutoLock lock(m_pLock);
    return m_owner->ToEveryOutput([](CFanOutOutputPin* out) { return out->DeliverEndOfStream(); });
}

HRESULT CFanOutInputPin::BeginFlush()
{
    CAutoLock lock(m_pLock);
    HRESULT hr = m_owner->ToEveryOutput([](CFanOutOutputPin* out) { return out->DeliverBeginFlush(); });
    return FAILED(hr) ? hr : CDxInputPin::BeginFlush();
}

HRESULT CFanOutInputPin::EndFlush()
{
    CAutoLock lock(m_pLock);
    HRESULT hr = m_owner->ToEveryOutput([](CFanOutOutputPin* out) { return out->DeliverEndFlush(); });
    return FAILED(hr) ? hr : CDxInputPin::EndFlush();
}

HRESULT CFanOutInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    CAutoLock lock(m_pLock);
    HRESULT hr = m_owner->ToEveryOutput(
        [&](CFanOutOutputPin* out) { return out->DeliverNewSegment(start, stop, rate); });
    return FAILED(hr) ? hr : CDxInputPin::NewSegment(start, stop, rate);
}
