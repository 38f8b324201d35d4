#include "engine/graph/CDxAllocator.h"

#include <new>

#include "engine/graph/CDeferZeroFillMediaSample.h"

CDxAllocator::CDxAllocator(const char* objectName, IUnknown* outer, HRESULT* phr)
    : CBaseAllocator(objectName, outer, phr)
{
    ResetBuffers(0);
}

CDxAllocator::~CDxAllocator()
{
    Decommit();
    ReleaseBlock();
}

HRESULT CDxAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr =
        AnswerFromTable(riid, ppv, {{&IID_IDeferZeroFillAllocator, static_cast<IDeferZeroFillAllocator*>(this)}});
    return hr == E_NOINTERFACE ? CBaseAllocator::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CDxAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags)
{
    HRESULT hr = CBaseAllocator::GetBuffer(sample, start, end, flags);
    if (SUCCEEDED(hr))
        static_cast<CDeferZeroFillMediaSample*>(static_cast<CMediaSample*>(*sample))->SetZeroFillPending(FALSE);
    return hr;
}

HRESULT CDxAllocator::ResetBuffers(LONG count)
{
    CAutoLock lock(&m_lock);
    // Samples point into the block: it may go only with all of them.
    if (m_bCommitted.load())
        return VFW_E_ALREADY_COMMITTED;
    if (m_lFree.load() < m_lAllocated)
        return VFW_E_BUFFERS_OUTSTANDING;
    ReleaseBlock();
    m_lCount = count;
    m_lSize = 0;
    m_lAlignment = 0;
    m_lPrefix = 0;
    m_bChanged = TRUE;
    return S_OK;
}

HRESULT CDxAllocator::Alloc()
{
    CAutoLock lock(&m_lock);
    HRESULT hr = CBaseAllocator::Alloc();
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return m_pBlock ? S_OK : E_UNEXPECTED;
    ReleaseBlock();
    m_lCount += 2;
    hr = MakeBlockAndSamples(&m_pBlock);
    if (FAILED(hr))
        return hr;
    m_bChanged = FALSE;
    return S_OK;
}

CMediaSample* CDxAllocator::NewSample(BYTE* buffer, LONG length)
{
    return new (std::nothrow) CDeferZeroFillMediaSample("CDxAllocator sample", this, nullptr, buffer, length);
}

void CDxAllocator::Free() {}

void CDxAllocator::ReleaseBlock()
{
    DeleteFreeSamples();
    FreeBlock(m_pBlock);
    m_pBlock = nullptr;
}
