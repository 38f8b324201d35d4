#include "engine/graph/CDxOutputPin.h"

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxInputPin.h"
#include "engine/graph/DxSampleOps.h"
#include "platform/media/AllocatorRequest.h"

CDxOutputPin::CDxOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
                           CDxFilterGraph* graph)
    : CBaseOutputPin(objectName, filter, lock, phr, name), m_graph(graph)
{
}

HRESULT CDxOutputPin::GetMediaType(int position, CMediaType* mt)
{
    if (position < 0)
        return E_INVALIDARG;
    if (position > 0 || !m_mt.IsValid())
        return VFW_S_NO_MORE_ITEMS;
    *mt = m_mt;
    return S_OK;
}

HRESULT CDxOutputPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (!types)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    *types = nullptr;
    IPin* upstream = TypeSourcePin();
    if (!upstream)
        return VFW_E_NOT_CONNECTED;
    return upstream->EnumMediaTypes(types);
}

bool CDxOutputPin::AcceptsInputAllocator(IMemAllocator* allocator) { return IsDxAllocator(allocator, nullptr); }

HRESULT CDxOutputPin::InitAllocator(IMemAllocator** allocator)
{
    return CDxInputPin::MakeAllocator(m_graph, allocator);
}

HRESULT CDxOutputPin::Active() { return IsConnected() ? CBaseOutputPin::Active() : S_OK; }

HRESULT CDxOutputPin::Inactive()
{
    CAutoLock lock(m_pLock);
    return CBaseOutputPin::Inactive();
}

HRESULT CDxOutputPin::Notify(IBaseFilter*, Quality) { return S_OK; }

HRESULT CDxOutputPin::RequestBlockBuffers(IMemAllocator* allocator, IMemAllocator* model, LONG buffers, LONG align)
{
    if (!m_graph)
        return E_UNEXPECTED;
    ALLOCATOR_PROPERTIES request{};
    if (model)
        model->GetProperties(&request);
    request.cBuffers = buffers;
    request.cbBuffer = m_graph->GetBlockFrames() * 8 + 32;
    if (align > 0)
        request.cbAlign = align;
    if (request.cbAlign < 1)
        request.cbAlign = 1;
    return RequestBuffers(allocator, request);
}
