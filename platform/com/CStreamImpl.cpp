#include "platform/com/CStreamImpl.h"

#include <algorithm>
#include <vector>


namespace mvcom {

std::span<const InterfaceEntry> CStreamImpl::InterfaceTable() const
{
    static const InterfaceEntry table[] = {
        Entry<CStreamImpl, IStream>(IID_IStream),
        Entry<CStreamImpl, ISequentialStream>(IID_ISequentialStream),
    };
    return table;
}

STDMETHODIMP CStreamImpl::CopyTo(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* read, ULARGE_INTEGER* written)
{
    if (read)
        read->QuadPart = 0;
    if (written)
        written->QuadPart = 0;
    if (!dest)
        return STG_E_INVALIDPOINTER;
    // A bounce buffer rather than the source's memory: the destination may
    // share the source's block and move it by growing.
    constexpr ULONG kChunk = 64 * 1024;
    const ULONGLONG count = cb.QuadPart;
    std::vector<std::byte> buffer(static_cast<std::size_t>(std::min<ULONGLONG>(count, kChunk)));
    ULONGLONG totalRead = 0;
    ULONGLONG totalWritten = 0;
    HRESULT hr = S_OK;
    while (totalRead < count) {
        ULONG want = static_cast<ULONG>(std::min<ULONGLONG>(count - totalRead, kChunk));
        ULONG got = 0;
        hr = Read(buffer.data(), want, &got);
        totalRead += got;
        if (FAILED(hr) || got == 0)
            break;
        ULONG put = 0;
        hr = dest->Write(buffer.data(), got, &put);
        totalWritten += put;
        if (SUCCEEDED(hr) && put < got)
            hr = STG_E_MEDIUMFULL;
        if (FAILED(hr) || got < want)
            break;
    }
    if (read)
        read->QuadPart = totalRead;
    if (written)
        written->QuadPart = totalWritten;
    return FAILED(hr) ? hr : S_OK;
}

STDMETHODIMP CStreamImpl::Commit(DWORD) { return S_OK; }
STDMETHODIMP CStreamImpl::Revert() { return S_OK; }
STDMETHODIMP CStreamImpl::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }
STDMETHODIMP CStreamImpl::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

}  // namespace mvcom
