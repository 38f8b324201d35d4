#include "platform/com/CHGlobalStream.h"

#include <algorithm>
#include <new>

#include "platform/com/StreamSupport.h"


namespace mvcom {

CHGlobalStream::SharedBlock::~SharedBlock()
{
    if (deleteOnRelease)
        GlobalFree(mem);
}

CHGlobalStream::CHGlobalStream(HGLOBAL mem, bool deleteOnRelease)
    : m_block(std::make_shared<SharedBlock>(mem, deleteOnRelease))
{
}

CHGlobalStream::CHGlobalStream(std::shared_ptr<SharedBlock> block, ULONGLONG position)
    : m_block(std::move(block)), m_position(position)
{
}

STDMETHODIMP CHGlobalStream::Read(void* pv, ULONG cb, ULONG* read)
{
    if (read)
        *read = 0;
    if (!pv)
        return STG_E_INVALIDPOINTER;
    HGLOBAL mem = m_block->mem;
    ULONGLONG size = GlobalSize(mem);
    ULONG n = m_position >= size ? 0 : static_cast<ULONG>(std::min<ULONGLONG>(cb, size - m_position));
    if (n > 0) {
        auto* data = static_cast<const std::byte*>(GlobalLock(mem));
        std::memcpy(pv, data + m_position, n);
        GlobalUnlock(mem);
        m_position += n;
    }
    if (read)
        *read = n;
    return S_OK;
}

STDMETHODIMP CHGlobalStream::Write(const void* pv, ULONG cb, ULONG* written)
{
    if (written)
        *written = 0;
    if (!pv)
        return STG_E_INVALIDPOINTER;
    if (cb == 0)
        return S_OK;
    HGLOBAL mem = m_block->mem;
    ULONGLONG end = m_position + cb;
    if (end < m_position || end > SIZE_MAX)
        return STG_E_MEDIUMFULL;
    if (end > GlobalSize(mem) && !GlobalReAlloc(mem, static_cast<std::size_t>(end), GMEM_MOVEABLE))
        return STG_E_MEDIUMFULL;
    auto* data = static_cast<std::byte*>(GlobalLock(mem));
    std::memcpy(data + m_position, pv, cb);
    GlobalUnlock(mem);
    m_position = end;
    if (written)
        *written = cb;
    return S_OK;
}

STDMETHODIMP CHGlobalStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition)
{
    ULONGLONG target = 0;
    HRESULT hr = ResolveSeek(move.QuadPart, origin, m_position, GlobalSize(m_block->mem), target);
    if (FAILED(hr))
        return hr;
    m_position = target;
    if (newPosition)
        newPosition->QuadPart = target;
    return S_OK;
}

STDMETHODIMP CHGlobalStream::SetSize(ULARGE_INTEGER newSize)
{
    if (newSize.QuadPart > SIZE_MAX)
        return E_OUTOFMEMORY;
    if (!GlobalReAlloc(m_block->mem, static_cast<std::size_t>(newSize.QuadPart), GMEM_MOVEABLE))
        return E_OUTOFMEMORY;
    return S_OK;
}

STDMETHODIMP CHGlobalStream::Stat(STATSTG* stat, DWORD flags)
{
    return FillStreamStat(stat, flags, GlobalSize(m_block->mem), nullptr);
}

STDMETHODIMP CHGlobalStream::Clone(IStream** clone)
{
    if (!clone)
        return STG_E_INVALIDPOINTER;
    *clone = new (std::nothrow) CHGlobalStream(m_block, m_position);
    return *clone ? S_OK : E_OUTOFMEMORY;
}

}  // namespace mvcom
