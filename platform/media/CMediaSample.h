// One buffer of media data handed out by an allocator. A sample has its own
// reference count: the allocator hands it out with one reference, and the
// release that takes the count to zero puts the sample back on its
// allocator's free list (it is never deleted by a release). Flags, times and
// any attached media type are cleared on the way back.
//
// Audio thread: no allocation, no blocking (every IMediaSample method but
// GetMediaType, which copies the type into a new block).
#pragma once

#include <atomic>

#include "platform/media/MediaInterfaces.h"

class CBaseAllocator;

class CMediaSample : public IMediaSample {
public:
    CMediaSample(const char* objectName, CBaseAllocator* allocator, HRESULT* phr, BYTE* buffer = nullptr,
                 LONG length = 0);
    virtual ~CMediaSample();
    CMediaSample(const CMediaSample&) = delete;
    CMediaSample& operator=(const CMediaSample&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetPointer(BYTE** buffer) override;
    STDMETHODIMP_(LONG) GetSize() override;
    STDMETHODIMP GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    STDMETHODIMP SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    STDMETHODIMP IsSyncPoint() override;
    STDMETHODIMP SetSyncPoint(BOOL syncPoint) override;
    STDMETHODIMP IsPreroll() override;
    STDMETHODIMP SetPreroll(BOOL preroll) override;
    STDMETHODIMP_(LONG) GetActualDataLength() override;
    STDMETHODIMP SetActualDataLength(LONG length) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** mt) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP IsDiscontinuity() override;
    STDMETHODIMP SetDiscontinuity(BOOL discontinuity) override;
    STDMETHODIMP GetMediaTime(LONGLONG* start, LONGLONG* end) override;
    STDMETHODIMP SetMediaTime(LONGLONG* start, LONGLONG* end) override;

    // Points the sample at a buffer it does not own.
    HRESULT SetPointer(BYTE* buffer, LONG length);

protected:
    friend class CBaseAllocator;

    enum : DWORD {
        kSyncPoint = 0x1,
        kPreroll = 0x2,
        kDiscontinuity = 0x4,
        kTypeChanged = 0x8,
        kTimeValid = 0x10,
        kStopValid = 0x20,
        kMediaTimeValid = 0x40,
    };
    // Format blocks up to this size are kept inside the sample (a wave
    // format with its extensible part fits); SetMediaType refuses a larger
    // one (E_OUTOFMEMORY), so attaching a type to a sample never allocates.
    static constexpr ULONG kInlineFormat = 64;

    // Called when the last reference goes, before the sample is requeued.
    void ClearForReuse();

    CMediaSample* m_pNext = nullptr;  // free-list link, owned by the allocator
    std::atomic<LONG> m_cRef{0};
    CBaseAllocator* m_pAllocator;
    const char* m_objectName;
    BYTE* m_pBuffer;
    LONG m_cbBuffer;
    LONG m_lActual;
    DWORD m_dwFlags = 0;
    REFERENCE_TIME m_Start = 0;
    REFERENCE_TIME m_End = 0;
    LONGLONG m_MediaStart = 0;
    LONGLONG m_MediaEnd = 0;
    AM_MEDIA_TYPE m_mt{};
    BYTE m_inlineFormat[kInlineFormat];
};
