// The common part of every allocator: the agreed properties, commit and
// decommit, and the free list of samples.
//
// Sample traffic (GetBuffer, and ReleaseBuffer through a sample's last
// Release) runs on the one thread that pushes blocks through the graph and
// takes no lock; properties, commit and decommit run on the UI thread under
// the allocator lock while no block is in flight. A committed allocator keeps
// a reference on itself. Decommit stops GetBuffer at once; when samples are
// still out, Free runs and that reference goes only when the last of them
// comes back.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/media/CCritSec.h"
#include "platform/media/CMediaSample.h"
#include "platform/media/CUnknown.h"

class CBaseAllocator : public CUnknown, public IMemAllocatorCallbackTemp {
public:
    CBaseAllocator(const char* objectName, IUnknown* outer, HRESULT* phr);
    ~CBaseAllocator() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // The buffer alignment must be a power of two that divides the
    // allocation granularity (VFW_E_BADALIGN otherwise); counts, sizes and
    // prefixes must not be negative (E_INVALIDARG).
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* props) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    // Audio thread: no allocation, no blocking. Never waits: VFW_E_NOT_COMMITTED
    // when not committed, E_OUTOFMEMORY when every sample is out.
    STDMETHODIMP GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) override;
    // Audio thread: no allocation, no blocking. Only samples of this allocator
    // come back here (from their last Release).
    STDMETHODIMP ReleaseBuffer(IMediaSample* sample) override;
    STDMETHODIMP SetNotify(IMemAllocatorNotifyCallbackTemp* notify) override;
    STDMETHODIMP GetFreeCount(LONG* freeCount) override;

    // The granularity that alignments must divide.
    static constexpr LONG kAllocationGranularity = 65536;

protected:
    // The check every Alloc makes first: VFW_E_SIZENOTSET without agreed
    // buffers, S_FALSE when nothing changed since the last Alloc, else S_OK.
    virtual HRESULT Alloc();
    // Runs when a decommit has every sample back.
    virtual void Free() = 0;

    // A sample of the allocator's own kind over the given buffer, or null.
    virtual CMediaSample* NewSample(BYTE* buffer, LONG length) = 0;
    // One block for the agreed buffers and a sample over each buffer, put on
    // the free list. On failure nothing is left made and *block is null.
    HRESULT MakeBlockAndSamples(BYTE** block);

    // Free-list upkeep for the derived allocators' Alloc and destruction.
    void AddFreeSample(CMediaSample* sample);
    // Deletes every sample on the free list; the allocated count becomes 0.
    void DeleteFreeSamples();
    // The size of a block of `count` buffers of the agreed size and prefix,
    // or 0 when it would be unreasonably large.
    std::size_t BlockBytes(LONG count) const;
    // A zeroed block aligned to the page or the agreed alignment, whichever
    // is larger; null when memory runs out. FreeBlock accepts null.
    BYTE* AllocBlock(std::size_t bytes) const;
    static void FreeBlock(BYTE* block);

    CCritSec m_lock;
    CMediaSample* m_freeHead = nullptr;
    std::atomic<LONG> m_lFree{0};
    LONG m_lAllocated = 0;
    LONG m_lCount = 0;
    LONG m_lSize = 0;
    LONG m_lAlignment = 0;
    LONG m_lPrefix = 0;
    BOOL m_bChanged = FALSE;
    std::atomic<bool> m_bCommitted{false};
    std::atomic<bool> m_bDecommitInProgress{false};
    IMemAllocatorNotifyCallbackTemp* m_pNotify = nullptr;
};
