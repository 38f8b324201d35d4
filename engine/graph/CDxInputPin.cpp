#include "engine/graph/CDxInputPin.h"

#include "engine/graph/CDxFilterGraph.h"

CDxInputPin::CDxInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr, LPCWSTR name,
                         CDxFilterGraph* graph)
    : CBaseInputPin(objectName, filter, lock, phr, name), m_graph(graph)
{
}

HRESULT CDxInputPin::MakeAllocator(CDxFilterGraph* graph, IMemAllocator** allocator)
{
    if (!allocator)
        return E_POINTER;
    *allocator = nullptr;
    return graph ? graph->CreateAllocator(allocator) : E_UNEXPECTED;
}

HRESULT CDxInputPin::GetAllocator(IMemAllocator** allocator)
{
    if (!allocator)
        return E_POINTER;
    CAutoLock lock(m_pLock);
    *allocator = nullptr;
    if (!m_pAllocator) {
        HRESULT hr = MakeAllocator(m_graph, &m_pAllocator);
        if (FAILED(hr) || !m_pAllocator)
            return E_OUTOFMEMORY;
    }
    *allocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
}
