#include "platform/media/CBaseAllocator.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kPage = 4096;
// No allocator of the graph needs more than this in one block; a request
// beyond it is a corrupt or hostile size, refused before anything is made.
constexpr std::size_t kMaxBlockBytes = std::size_t(1) << 30;

bool IsValidAlignment(LONG align)
{
    return align > 0 && (align & (align - 1)) == 0 && align <= CBaseAllocator::kAllocationGranularity;
}

}  // namespace

CBaseAllocator::CBaseAllocator(const char* objectName, IUnknown* outer, HRESULT* phr) : CUnknown(objectName, outer)
{
}

CBaseAllocator::~CBaseAllocator()
{
    if (m_pNotify)
        m_pNotify->Release();
}

HRESULT CBaseAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    HRESULT hr = AnswerFromTable(riid, ppv,
                                 {{&IID_IMemAllocator, static_cast<IMemAllocator*>(this)},
                                  {&IID_IMemAllocatorCallbackTemp, static_cast<IMemAllocatorCallbackTemp*>(this)}});
    return hr == E_NOINTERFACE ? CUnknown::NonDelegatingQueryInterface(riid, ppv) : hr;
}

HRESULT CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual)
{
    if (!request || !actual)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    std::memset(actual, 0, sizeof(*actual));
    if (!IsValidAlignment(request->cbAlign))
        return VFW_E_BADALIGN;
    if (m_bCommitted.load())
        return VFW_E_ALREADY_COMMITTED;
    if (m_lFree.load() < m_lAllocated)
        return VFW_E_BUFFERS_OUTSTANDING;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0)
        return E_INVALIDARG;
    const long long align = request->cbAlign;
    const long long whole = ((static_cast<long long>(request->cbBuffer) + request->cbPrefix + align - 1) / align) * align;
    const long long size = whole - request->cbPrefix;
    if (whole > 0x7FFFFFFF)
        return E_INVALIDARG;
    m_lCount = request->cBuffers;
    m_lSize = static_cast<LONG>(size);
    m_lAlignment = request->cbAlign;
    m_lPrefix = request->cbPrefix;
    m_bChanged = TRUE;
    *actual = {m_lCount, m_lSize, m_lAlignment, m_lPrefix};
    return S_OK;
}

HRESULT CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES* props)
{
    if (!props)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    *props = {m_lCount, m_lSize, m_lAlignment, m_lPrefix};
    return S_OK;
}

HRESULT CBaseAllocator::Commit()
{
    CAutoLock lock(&m_lock);
    if (m_bCommitted.load())
        return S_OK;
    // A decommit still waiting for samples is simply called off: its
    // reference becomes the new commit's, and the buffers cannot have changed.
    if (m_bDecommitInProgress.exchange(false)) {
        m_bCommitted.store(true);
        return S_OK;
    }
    HRESULT hr = Alloc();
    if (FAILED(hr))
        return hr;
    m_bCommitted.store(true);
    AddRef();
    return S_OK;
}

HRESULT CBaseAllocator::Decommit()
{
    bool release = false;
    {
        CAutoLock lock(&m_lock);
        if (!m_bCommitted.load())
            return S_OK;
        m_bCommitted.store(false);
        if (m_lFree.load() < m_lAllocated) {
            m_bDecommitInProgress.store(true);
            // The last sample may have come back between the two reads: the
            // flag goes to whichever side clears it first.
            if (m_lFree.load() == m_lAllocated && m_bDecommitInProgress.exchange(false))
                release = true;
        } else {
            release = true;
        }
        if (release)
            Free();
    }
    if (release)
        Release();
    return S_OK;
}

HRESULT CBaseAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD)
{
    if (!sample)
        return E_POINTER;
    *sample = nullptr;
    if (!m_bCommitted.load(std::memory_order_relaxed))
        return VFW_E_NOT_COMMITTED;
    CMediaSample* s = m_freeHead;
    if (!s)
        return E_OUTOFMEMORY;
    m_freeHead = s->m_pNext;
    s->m_pNext = nullptr;
    m_lFree.fetch_sub(1);
    s->m_cRef.store(1, std::memory_order_relaxed);
    *sample = s;
    return S_OK;
}

HRESULT CBaseAllocator::ReleaseBuffer(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    auto* s = static_cast<CMediaSample*>(sample);
    s->m_pNext = m_freeHead;
    m_freeHead = s;
    LONG free = m_lFree.fetch_add(1) + 1;
    if (m_pNotify)
        m_pNotify->NotifyRelease();
    if (free == m_lAllocated && m_bDecommitInProgress.load() && m_bDecommitInProgress.exchange(false)) {
        Free();
        Release();  // may delete this allocator
    }
    return S_OK;
}

HRESULT CBaseAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp* notify)
{
    CAutoLock lock(&m_lock);
    if (notify)
        notify->AddRef();
    if (m_pNotify)
        m_pNotify->Release();
    m_pNotify = notify;
    return S_OK;
}

HRESULT CBaseAllocator::GetFreeCount(LONG* freeCount)
{
    if (!freeCount)
        return E_POINTER;
    *freeCount = m_lFree.load();
    return S_OK;
}

HRESULT CBaseAllocator::Alloc()
{
    if (m_lCount <= 0 || m_lSize <= 0 || m_lAlignment <= 0)
        return VFW_E_SIZENOTSET;
    return m_bChanged ? S_OK : S_FALSE;
}

HRESULT CBaseAllocator::MakeBlockAndSamples(BYTE** block)
{
    const std::size_t bytes = BlockBytes(m_lCount);
    *block = bytes ? AllocBlock(bytes) : nullptr;
    if (!*block)
        return E_OUTOFMEMORY;
    const std::size_t each = static_cast<std::size_t>(m_lSize) + static_cast<std::size_t>(m_lPrefix);
    for (LONG k = 0; k < m_lCount; ++k) {
        CMediaSample* s = NewSample(*block + k * each + m_lPrefix, m_lSize);
        if (!s) {
            DeleteFreeSamples();
            FreeBlock(*block);
            *block = nullptr;
            return E_OUTOFMEMORY;
        }
        AddFreeSample(s);
    }
    return S_OK;
}

void CBaseAllocator::AddFreeSample(CMediaSample* sample)
{
    sample->m_pNext = m_freeHead;
    m_freeHead = sample;
    m_lFree.fetch_add(1);
    ++m_lAllocated;
}

void CBaseAllocator::DeleteFreeSamples()
{
    while (m_freeHead) {
        CMediaSample* next = m_freeHead->m_pNext;
        delete m_freeHead;
        m_freeHead = next;
        m_lFree.fetch_sub(1);
        --m_lAllocated;
    }
}

std::size_t CBaseAllocator::BlockBytes(LONG count) const
{
    if (count <= 0)
        return 0;
    const std::size_t each = static_cast<std::size_t>(m_lSize) + static_cast<std::size_t>(m_lPrefix);
    if (each == 0 || each > kMaxBlockBytes / static_cast<std::size_t>(count))
        return 0;
    return each * static_cast<std::size_t>(count);
}

BYTE* CBaseAllocator::AllocBlock(std::size_t bytes) const
{
    const std::size_t align = std::max<std::size_t>(kPage, static_cast<std::size_t>(m_lAlignment));
    const std::size_t rounded = (bytes + align - 1) / align * align;
    auto* block = static_cast<BYTE*>(std::aligned_alloc(align, rounded));
    if (block)
        std::memset(block, 0, rounded);
    return block;
}

void CBaseAllocator::FreeBlock(BYTE* block) { std::free(block); }
