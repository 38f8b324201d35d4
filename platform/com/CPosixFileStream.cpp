#include "platform/com/CPosixFileStream.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/com/StreamSupport.h"

namespace mvcom {

namespace {

HRESULT WriteError(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return STG_E_MEDIUMFULL;
    case EBADF:
    case EACCES:
    case EPERM: return STG_E_ACCESSDENIED;
    default: return STG_E_WRITEFAULT;
    }
}

HRESULT ReadError(int err)
{
    return err == EBADF ? STG_E_ACCESSDENIED : STG_E_READFAULT;
}

// Calls `io` (read or write) until `cb` bytes have moved or it moves none;
// `total` counts what moved, also when it fails.
template <class Byte, class Io>
HRESULT Transfer(Byte* data, ULONG cb, ULONG& total, Io io, HRESULT (*error)(int))
{
    constexpr std::size_t kMostPerCall = std::size_t{1} << 30;
    total = 0;
    while (total < cb) {
        ssize_t n = io(data + total, std::min<std::size_t>(cb - total, kMostPerCall));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return error(errno);
        if (n == 0)
            break;
        total += static_cast<ULONG>(n);
    }
    return S_OK;
}

}  // namespace

CPosixFileStream::CPosixFileStream(int fd, std::u16string name) : m_fd(fd), m_name(std::move(name)) {}

CPosixFileStream::~CPosixFileStream()
{
    ::close(m_fd);
}

HRESULT CPosixFileStream::FileSize(ULONGLONG& size) const
{
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return STG_E_ACCESSDENIED;
    size = static_cast<ULONGLONG>(st.st_size);
    return S_OK;
}

STDMETHODIMP CPosixFileStream::Read(void* pv, ULONG cb, ULONG* read)
{
    if (read)
        *read = 0;
    if (!pv)
        return STG_E_INVALIDPOINTER;
    ULONG total = 0;
    HRESULT hr = Transfer(
        static_cast<std::byte*>(pv), cb, total,
        [this](std::byte* at, std::size_t n) { return ::read(m_fd, at, n); }, ReadError);
    if (read)
        *read = total;
    return hr;
}

STDMETHODIMP CPosixFileStream::Write(const void* pv, ULONG cb, ULONG* written)
{
    if (written)
        *written = 0;
    if (!pv)
        return STG_E_INVALIDPOINTER;
    ULONG total = 0;
    HRESULT hr = Transfer(
        static_cast<const std::byte*>(pv), cb, total,
        [this](const std::byte* at, std::size_t n) { return ::write(m_fd, at, n); }, WriteError);
    if (written)
        *written = total;
    // A write that takes nothing without an error has met a full medium.
    return SUCCEEDED(hr) && total < cb ? STG_E_MEDIUMFULL : hr;
}

STDMETHODIMP CPosixFileStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition)
{
    off_t current = ::lseek(m_fd, 0, SEEK_CUR);
    if (current < 0)
        return STG_E_SEEKERROR;
    ULONGLONG size = 0;
    HRESULT hr = origin == STREAM_SEEK_END ? FileSize(size) : S_OK;
    ULONGLONG target = 0;
    if (SUCCEEDED(hr))
        hr = ResolveSeek(move.QuadPart, origin, static_cast<ULONGLONG>(current), size, target);
    if (FAILED(hr))
        return hr;
    if (::lseek(m_fd, static_cast<off_t>(target), SEEK_SET) < 0)
        return STG_E_SEEKERROR;
    if (newPosition)
        newPosition->QuadPart = target;
    return S_OK;
}

STDMETHODIMP CPosixFileStream::SetSize(ULARGE_INTEGER newSize)
{
    if (newSize.QuadPart > static_cast<ULONGLONG>(INT64_MAX))
        return STG_E_INVALIDFUNCTION;
    int rc;
    do {
        rc = ::ftruncate(m_fd, static_cast<off_t>(newSize.QuadPart));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return errno == EINVAL ? STG_E_ACCESSDENIED : WriteError(errno);
    return S_OK;
}

STDMETHODIMP CPosixFileStream::Stat(STATSTG* stat, DWORD flags)
{
    if (!stat)
        return STG_E_INVALIDPOINTER;
    ULONGLONG size = 0;
    HRESULT hr = FileSize(size);
    if (FAILED(hr))
        return hr;
    return FillStreamStat(stat, flags, size, m_name.c_str());
}

STDMETHODIMP CPosixFileStream::Clone(IStream** clone)
{
    if (clone)
        *clone = nullptr;
    return E_NOTIMPL;
}

}  // namespace mvcom
