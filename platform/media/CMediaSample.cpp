#include "platform/media/CMediaSample.h"

#include <cstring>

#include "platform/media/CBaseAllocator.h"
#include "platform/media/CMediaType.h"
#include "platform/media/CUnknown.h"

CMediaSample::CMediaSample(const char* objectName, CBaseAllocator* allocator, HRESULT* phr, BYTE* buffer,
                           LONG length)
    : m_pAllocator(allocator), m_objectName(objectName), m_pBuffer(buffer), m_cbBuffer(length), m_lActual(length)
{
    if (!allocator && phr)
        *phr = VFW_E_NEED_OWNER;
}

CMediaSample::~CMediaSample()
{
    if (m_mt.pUnk)
        m_mt.pUnk->Release();
}

HRESULT CMediaSample::QueryInterface(REFIID riid, void** ppv)
{
    return AnswerFromTable(riid, ppv, {{&IID_IMediaSample, this}, {&IID_IUnknown, this}});
}

ULONG CMediaSample::AddRef() { return static_cast<ULONG>(m_cRef.fetch_add(1, std::memory_order_relaxed) + 1); }

ULONG CMediaSample::Release()
{
    LONG left = m_cRef.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
        ClearForReuse();
        // The allocator may go away inside this call (a finished decommit
        // drops its last reference): touch nothing of this sample after it.
        m_pAllocator->ReleaseBuffer(this);
    }
    return static_cast<ULONG>(left);
}

void CMediaSample::ClearForReuse()
{
    m_dwFlags = 0;
    if (m_mt.pUnk) {
        m_mt.pUnk->Release();
        m_mt.pUnk = nullptr;
    }
}

HRESULT CMediaSample::GetPointer(BYTE** buffer)
{
    if (!buffer)
        return E_POINTER;
    *buffer = m_pBuffer;
    return S_OK;
}

LONG CMediaSample::GetSize() { return m_cbBuffer; }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end)
{
    if (!(m_dwFlags & kTimeValid))
        return VFW_E_SAMPLE_TIME_NOT_SET;
    if (!start || !end)
        return E_POINTER;
    *start = m_Start;
    if (m_dwFlags & kStopValid) {
        *end = m_End;
        return S_OK;
    }
    *end = m_Start + 1;
    return VFW_S_NO_STOP_TIME;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end)
{
    m_dwFlags &= ~(kTimeValid | kStopValid);
    if (!start)
        return S_OK;
    m_Start = *start;
    m_dwFlags |= kTimeValid;
    if (end) {
        m_End = *end;
        m_dwFlags |= kStopValid;
    }
    return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() { return (m_dwFlags & kSyncPoint) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetSyncPoint(BOOL syncPoint)
{
    m_dwFlags = syncPoint ? (m_dwFlags | kSyncPoint) : (m_dwFlags & ~kSyncPoint);
    return S_OK;
}

HRESULT CMediaSample::IsPreroll() { return (m_dwFlags & kPreroll) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetPreroll(BOOL preroll)
{
    m_dwFlags = preroll ? (m_dwFlags | kPreroll) : (m_dwFlags & ~kPreroll);
    return S_OK;
}

LONG CMediaSample::GetActualDataLength() { return m_lActual; }

HRESULT CMediaSample::SetActualDataLength(LONG length)
{
    if (length < 0 || length > m_cbBuffer)
        return VFW_E_BUFFER_OVERFLOW;
    m_lActual = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** mt)
{
    if (!mt)
        return E_POINTER;
    if (!(m_dwFlags & kTypeChanged)) {
        *mt = nullptr;
        return S_FALSE;
    }
    *mt = CreateMediaType(&m_mt);
    return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* mt)
{
    const ULONG n = (mt && mt->pbFormat && mt->cbFormat) ? mt->cbFormat : 0;
    // Types are attached on the streaming thread, which may not allocate: a
    // format block the sample has no room for is refused, and the sample
    // keeps the type it had.
    if (n > kInlineFormat)
        return E_OUTOFMEMORY;
    if (m_mt.pUnk) {
        m_mt.pUnk->Release();
        m_mt.pUnk = nullptr;
    }
    if (!mt) {
        m_dwFlags &= ~kTypeChanged;
        return S_OK;
    }
    m_mt = *mt;
    m_mt.cbFormat = n;
    m_mt.pbFormat = n ? m_inlineFormat : nullptr;
    if (n)
        std::memcpy(m_inlineFormat, mt->pbFormat, n);
    if (m_mt.pUnk)
        m_mt.pUnk->AddRef();
    m_dwFlags |= kTypeChanged;
    return S_OK;
}

HRESULT CMediaSample::IsDiscontinuity() { return (m_dwFlags & kDiscontinuity) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetDiscontinuity(BOOL discontinuity)
{
    m_dwFlags = discontinuity ? (m_dwFlags | kDiscontinuity) : (m_dwFlags & ~kDiscontinuity);
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end)
{
    if (!(m_dwFlags & kMediaTimeValid))
        return VFW_E_MEDIA_TIME_NOT_SET;
    if (!start || !end)
        return E_POINTER;
    *start = m_MediaStart;
    *end = m_MediaEnd;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end)
{
    if (!start || !end) {
        m_dwFlags &= ~kMediaTimeValid;
        return S_OK;
    }
    m_MediaStart = *start;
    m_MediaEnd = *end;
    m_dwFlags |= kMediaTimeValid;
    return S_OK;
}

HRESULT CMediaSample::SetPointer(BYTE* buffer, LONG length)
{
    if (length < 0)
        return VFW_E_BUFFER_OVERFLOW;
    m_pBuffer = buffer;
    m_cbBuffer = length;
    m_lActual = length;
    return S_OK;
}
