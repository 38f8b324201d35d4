// The platform's file object: an open file with read, write, seek and length,
// over a POSIX file descriptor. Operations report why they failed the way a
// file exception's cause would (a full disk is told apart from other write
// failures); nothing throws. The owner opens and closes it; the destructor
// closes a file still open. Used by one thread at a time.
#pragma once

#include <string>

#include "platform/win/WinTypes.h"

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        modeCreate = 0x1000,      // create, or truncate an existing file
        modeNoTruncate = 0x2000,  // with modeCreate: keep an existing file's content
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    // Why an operation failed.
    enum Cause : int {
        none = 0,
        genericException,
        fileNotFound,
        accessDenied,
        invalidFile,  // no file is open
        badSeek,
        diskFull,
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    Cause Open(LPCSTR path, UINT flags);
    // Creates and opens for writing a new file of a unique name in the
    // folder of `beside` (which need not exist), with the permissions of the
    // file at `beside` when there is one; its path goes to `tempPath`.
    Cause OpenTemporaryBeside(LPCSTR beside, std::string* tempPath);
    // Puts `from` in the place of `to` in one step (rename), then makes the
    // folder's change durable.
    static Cause Replace(LPCSTR from, LPCSTR to);
    static Cause Remove(LPCSTR path);
    // Closes the file; why the close failed (a file system may report a
    // write it could not complete only here). The file is closed either way.
    Cause Close();
    // Hands what was written to the storage device (fsync).
    Cause Flush();
    bool IsOpen() const { return m_fd >= 0; }

    // Up to `count` bytes; *read is less than count only at the end of the file.
    Cause Read(void* buffer, UINT count, UINT* read);
    // All `count` bytes, or a failure.
    Cause Write(const void* buffer, UINT count);
    // `from` is begin, current or end. newPosition may be null.
    Cause Seek(LONGLONG offset, UINT from, ULONGLONG* newPosition);
    Cause GetLength(ULONGLONG* length) const;

private:
    int m_fd = -1;
};
