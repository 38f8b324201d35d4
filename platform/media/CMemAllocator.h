// The plain allocator that pins fall back to: every buffer in one aligned
// block, one CMediaSample per buffer. Free releases the block and the samples,
// so a decommit gives the memory back once every sample has returned.
//
// Threads: as CBaseAllocator. Alloc runs on the UI thread (Commit); Free
// runs on the UI thread (Decommit), or on the thread that returns the last
// sample out after a decommit.
#pragma once

#include "platform/media/CBaseAllocator.h"

class CMemAllocator : public CBaseAllocator {
public:
    CMemAllocator(const char* objectName, IUnknown* outer, HRESULT* phr);
    ~CMemAllocator() override;

    // A new allocator with one reference, or E_OUTOFMEMORY.
    static HRESULT Create(IMemAllocator** out);

protected:
    HRESULT Alloc() override;
    void Free() override;
    CMediaSample* NewSample(BYTE* buffer, LONG length) override;

private:
    void ReallyFree();

    BYTE* m_pBuffer = nullptr;
};
