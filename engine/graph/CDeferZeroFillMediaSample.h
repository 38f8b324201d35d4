// The media sample of the engine's allocator: a plain sample plus the
// pending-zero-fill mark. While the mark is set, GetPointer first writes the
// silence pattern over the data length (the whole buffer when the length is
// out of range) and clears it, so a reader always sees silence; a reader that
// tests the mark first can skip the work.
#pragma once

#include "engine/graph/IDeferZeroFill.h"
#include "platform/media/CMediaSample.h"

class CDeferZeroFillMediaSample : public CMediaSample, public IDeferZeroFill {
public:
    CDeferZeroFillMediaSample(const char* objectName, CBaseAllocator* allocator, HRESULT* phr, BYTE* buffer,
                              LONG length);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CMediaSample::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CMediaSample::Release(); }

    // Audio thread: no allocation, no blocking.
    STDMETHODIMP GetPointer(BYTE** buffer) override;

    STDMETHODIMP_(BOOL) GetZeroFillPending() override { return m_pending; }
    STDMETHODIMP SetZeroFillPending(BOOL pending) override;
    STDMETHODIMP GetPointerNoFill(BYTE** buffer) override;

private:
    BOOL m_pending = FALSE;
};
