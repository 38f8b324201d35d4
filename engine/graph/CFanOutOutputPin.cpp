#include "engine/graph/CFanOutOutputPin.h"

#include "engine/graph/CFanOutFilter.h"

CFanOutOutputPin::CFanOutOutputPin(const char* objectName, CFanOutFilter* owner, HRESULT* phr, LPCWSTR name,
                                   CDxFilterGraph* graph)
    : CDxOutputPin(objectName, owner, owner, phr, name, graph), m_owner(owner)
{
}

HRESULT CFanOutOutputPin::CheckMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    return m_owner->CheckPinType(this, mt);
}

HRESULT CFanOutOutputPin::SetMediaType(const CMediaType* mt)
{
    CAutoLock lock(m_pLock);
    HRESULT hr = CDxOutputPin::SetMediaType(mt);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CFanOutOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES*)
{
    return RequestBlockBuffers(allocator, m_owner->HeldAllocator(), 1, 16);
}

IPin* CFanOutOutputPin::TypeSourcePin()
{
    CFanOutInputPin* in = m_owner->InputPin();
    return (in && in->IsConnected()) ? in->GetConnected() : nullptr;
}
