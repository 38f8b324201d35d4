// An IStream over an open POSIX file descriptor (SHCreateStreamOnFileA). The
// stream owns the descriptor and closes it with its last Release. Reads and
// writes go straight to the file with no buffering of their own; a read that
// meets the end of the file gives S_OK with fewer bytes. A full disk is
// STG_E_MEDIUMFULL, another write error STG_E_WRITEFAULT. Used by one thread
// at a time; the reference count is atomic.
#pragma once

#include <string>

#include "platform/com/CStreamImpl.h"
#include "platform/com/Stream.h"

namespace mvcom {

class CPosixFileStream : public CStreamImpl {
public:
    // `name` is what Stat reports (the file's name without its folder).
    CPosixFileStream(int fd, std::u16string name);

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* read) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* written) override;
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER newSize) override;
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
    STDMETHODIMP Clone(IStream** clone) override;

protected:
    ~CPosixFileStream() override;

private:
    HRESULT FileSize(ULONGLONG& size) const;

    int m_fd;
    std::u16string m_name;
};

}  // namespace mvcom
