#include "platform/media/CMemAllocator.h"

#include <new>

CMemAllocator::CMemAllocator(const char* objectName, IUnknown* outer, HRESULT* phr)
    : CBaseAllocator(objectName, outer, phr)
{
}

CMemAllocator::~CMemAllocator()
{
    Decommit();
    ReallyFree();
}

HRESULT CMemAllocator::Create(IMemAllocator** out)
{
    if (!out)
        return E_POINTER;
    HRESULT hr = S_OK;
    auto* made = new (std::nothrow) CMemAllocator("CMemAllocator", nullptr, &hr);
    CMemAllocator* created = nullptr;
    hr = FinishCreate(made, hr, &created);
    *out = created;
    return hr;
}

HRESULT CMemAllocator::Alloc()
{
    CAutoLock lock(&m_lock);
    HRESULT hr = CBaseAllocator::Alloc();
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE && m_pBuffer)
        return S_OK;
    ReallyFree();
    hr = MakeBlockAndSamples(&m_pBuffer);
    if (FAILED(hr))
        return hr;
    m_bChanged = FALSE;
    return S_OK;
}

CMediaSample* CMemAllocator::NewSample(BYTE* buffer, LONG length)
{
    return new (std::nothrow) CMediaSample("CMemAllocator sample", this, nullptr, buffer, length);
}

void CMemAllocator::Free() { ReallyFree(); }

void CMemAllocator::ReallyFree()
{
    DeleteFreeSamples();
    FreeBlock(m_pBuffer);
    m_pBuffer = nullptr;
}
