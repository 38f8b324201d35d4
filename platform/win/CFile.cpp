#include "platform/win/CFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

CFile::Cause CauseOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return CFile::fileNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return CFile::accessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return CFile::diskFull;
    case EBADF: return CFile::invalidFile;
    case EINVAL:
    case ESPIPE:
    case EOVERFLOW: return CFile::badSeek;
    default: return CFile::genericException;
    }
}

}  // namespace

CFile::~CFile() { Close(); }

CFile::Cause CFile::Open(LPCSTR path, UINT flags)
{
    Close();
    if (!path)
        return fileNotFound;
    int oflags = O_CLOEXEC;
    switch (flags & 0x3) {
    case modeWrite: oflags |= O_WRONLY; break;
    case modeReadWrite: oflags |= O_RDWR; break;
    default: oflags |= O_RDONLY; break;
    }
    if (flags & modeCreate)
        oflags |= O_CREAT | ((flags & modeNoTruncate) ? 0 : O_TRUNC);
    int fd;
    do
        fd = ::open(path, oflags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return CauseOf(errno);
    m_fd = fd;
    return none;
}

namespace {

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

CFile::Cause CFile::OpenTemporaryBeside(LPCSTR beside, std::string* tempPath)
{
    Close();
    if (!beside || !tempPath)
        return fileNotFound;
    const std::string path(beside);
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = FolderOf(path) + "/." + name + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return CauseOf(errno);
    struct stat st {};
    const mode_t mode = ::stat(beside, &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    m_fd = fd;
    *tempPath = pattern;
    return none;
}

CFile::Cause CFile::Replace(LPCSTR from, LPCSTR to)
{
    if (!from || !to)
        return fileNotFound;
    if (::rename(from, to) != 0)
        return CauseOf(errno);
    // The new name lives in the folder: flushing it keeps the rename across
    // a power loss. A folder that cannot be flushed does not undo the save.
    const int dir = ::open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return none;
}

CFile::Cause CFile::Remove(LPCSTR path)
{
    if (!path)
        return fileNotFound;
    return ::unlink(path) == 0 ? none : CauseOf(errno);
}

CFile::Cause CFile::Close()
{
    if (m_fd < 0)
        return none;
    const int result = ::close(m_fd);
    m_fd = -1;
    // After EINTR the descriptor is gone all the same on Linux.
    return result == 0 || errno == EINTR ? none : CauseOf(errno);
}

CFile::Cause CFile::Flush()
{
    if (m_fd < 0)
        return invalidFile;
    int result;
    do
        result = ::fsync(m_fd);
    while (result != 0 && errno == EINTR);
    return result == 0 ? none : CauseOf(errno);
}

CFile::Cause CFile::Read(void* buffer, UINT count, UINT* read)
{
    if (read)
        *read = 0;
    if (m_fd < 0)
        return invalidFile;
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return CauseOf(errno);
        if (n == 0)
            break;
        done += static_cast<UINT>(n);
    }
    if (read)
        *read = done;
    return none;
}

CFile::Cause CFile::Write(const void* buffer, UINT count)
{
    if (m_fd < 0)
        return invalidFile;
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::write(m_fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return CauseOf(errno);
        if (n == 0)
            return genericException;
        done += static_cast<UINT>(n);
    }
    return none;
}

CFile::Cause CFile::Seek(LONGLONG offset, UINT from, ULONGLONG* newPosition)
{
    if (m_fd < 0)
        return invalidFile;
    int whence;
    switch (from) {
    case begin: whence = SEEK_SET; break;
    case current: whence = SEEK_CUR; break;
    case end: whence = SEEK_END; break;
    default: return badSeek;
    }
    off_t at = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (at < 0)
        return CauseOf(errno);
    if (newPosition)
        *newPosition = static_cast<ULONGLONG>(at);
    return none;
}

CFile::Cause CFile::GetLength(ULONGLONG* length) const
{
    if (m_fd < 0)
        return invalidFile;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return CauseOf(errno);
    if (length)
        *length = static_cast<ULONGLONG>(st.st_size);
    return none;
}
