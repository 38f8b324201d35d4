#include "model/NullWriteStream.h"

#include <algorithm>

#include "platform/com/StreamSupport.h"

STDMETHODIMP NullWriteStream::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP_(ULONG) NullWriteStream::AddRef() { return m_refs.fetch_add(1) + 1; }

STDMETHODIMP_(ULONG) NullWriteStream::Release() { return m_refs.fetch_sub(1) - 1; }

STDMETHODIMP NullWriteStream::Read(void*, ULONG, ULONG* read)
{
    if (read)
        *read = 0;
    return E_NOTIMPL;
}

STDMETHODIMP NullWriteStream::Write(const void*, ULONG cb, ULONG* written)
{
    if (written)
        *written = cb;
    m_position += cb;
    m_size = std::max(m_size, m_position);
    return S_OK;
}

STDMETHODIMP NullWriteStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition)
{
    if (!newPosition)
        return STG_E_INVALIDPOINTER;
    ULONGLONG base = 0;
    switch (origin) {
    case STREAM_SEEK_SET: base = 0; break;
    case STREAM_SEEK_CUR: base = m_position; break;
    case STREAM_SEEK_END: base = m_size; break;
    default: return STG_E_INVALIDFUNCTION;
    }
    const LONGLONG delta = move.QuadPart;
    if (delta < 0 && static_cast<ULONGLONG>(-(delta + 1)) >= base)
        return STG_E_INVALIDFUNCTION;
    if (delta > 0 && base + static_cast<ULONGLONG>(delta) < base)
        return STG_E_INVALIDFUNCTION;
    m_position = base + static_cast<ULONGLONG>(delta);
    m_size = std::max(m_size, m_position);
    newPosition->QuadPart = m_position;
    return S_OK;
}

STDMETHODIMP NullWriteStream::Stat(STATSTG* stat, DWORD flags)
{
    return mvcom::FillStreamStat(stat, flags, m_size, u"NullWriteStream");
}
