// The engine graph's allocator. All buffers live in one page-aligned block,
// and it always makes two more buffers than were agreed, so a filter that
// holds a block while the next is pushed never runs dry. Its samples carry the
// pending-zero-fill mark (CDeferZeroFillMediaSample), cleared whenever a
// sample is handed out. Free keeps the block: it is replaced by the next
// Alloc, dropped by ResetBuffers, or released with the allocator.
//
// GetBuffer and ReleaseBuffer run on the pushing thread without a lock (see
// CBaseAllocator); everything else on the UI thread.
#pragma once

#include "engine/graph/IDeferZeroFill.h"
#include "platform/media/CBaseAllocator.h"

class CDxAllocator : public CBaseAllocator, public IDeferZeroFillAllocator {
public:
    CDxAllocator(const char* objectName, IUnknown* outer, HRESULT* phr);
    ~CDxAllocator() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Audio thread: no allocation, no blocking.
    STDMETHODIMP GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) override;

    STDMETHODIMP ResetBuffers(LONG count) override;

protected:
    HRESULT Alloc() override;
    void Free() override;
    CMediaSample* NewSample(BYTE* buffer, LONG length) override;

private:
    void ReleaseBlock();

    BYTE* m_pBlock = nullptr;
};
