// An IStream over an already open platform file (CFile), through which
// project files, templates, pattern files and window layouts are read and
// written. The stream frames what goes through it: a 20-byte header chunk
// (CKelStreamHeader) at its start, and the persistence context
// (CKelStreamContext, offered as IKelStreamContext) as a chunk at its end,
// whose position the header records.
//
// Saving: the constructor writes the header with position 0; Close (or the
// destructor) writes the context at the end and patches the header.
// Loading: the constructor reads the header and then the context, and leaves
// the stream just after the header. A file without the header (one that
// starts with something other than a major-0 chunk) reads from its start with
// an empty context: the construction result is then S_FALSE.
//
// The stream keeps a window of the file in memory, so the many small reads,
// writes and position queries of a chunk tree cost no system call each:
// written bytes reach the file when the window moves, and at the latest in
// Close. A write that failed there fails every later write and Close too,
// so a caller that checks Close never takes a short file for a saved one.
//
// Lives in the scope of its creator for one load or save: AddRef and Release
// do not count. Used by one thread. Moves are limited to signed 32-bit
// distances (files up to 2 GB).
#pragma once

#include <vector>

#include "model/CBasicStream.h"
#include "model/CKelStreamContext.h"
#include "model/CKelStreamHeader.h"
#include "platform/win/CFile.h"


class CFileStream : public CBasicStream {
public:
    // The file stays the caller's: it is neither opened nor closed here.
    // `result` (may be null) receives the construction result.
    CFileStream(CFile* file, BOOL saving, HRESULT* result);
    ~CFileStream() override;
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    // When saving and not yet closed: writes the context chunk at the end,
    // rewrites the header with its position and hands every written byte to
    // the file; the first write failure of the stream's life, if any. Run by
    // the destructor, which cannot report a failure; call it first to learn
    // the result.
    HRESULT Close();

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // Fewer bytes than asked only at the end of the file; a file error is
    // E_UNEXPECTED.
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* read) override;
    // All bytes or a failure: STG_E_MEDIUMFULL for a full disk, else E_FAIL.
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* written) override;
    // A move that does not fit a signed 32-bit value: E_NOTIMPL.
    STDMETHOD(Seek)(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    // Name "FileStream", type stream, size the current position.
    STDMETHOD(Stat)(STATSTG* stat, DWORD flags) override;

private:
    static constexpr std::size_t kWindowBytes = 256 * 1024;

    HRESULT OpenForLoad(HRESULT headerResult);
    // Writes the changed bytes of the window to the file.
    HRESULT FlushWindow();
    // Flushes, then makes the window start at the current position; with
    // fill, reads what the file holds there.
    HRESULT MoveWindow(bool fill);
    ULONGLONG WindowEnd() const { return m_windowStart + m_windowBytes; }
    HRESULT WriteFault(CFile::Cause cause);

    CFile* m_file;
    CKelStreamContext m_context;
    ULONGLONG m_start = 0;
    CKelStreamHeader m_header;
    BOOL m_saving;
    BOOL m_closed = FALSE;

    std::vector<BYTE> m_window;
    ULONGLONG m_windowStart = 0;
    std::size_t m_windowBytes = 0;  // valid bytes from m_windowStart
    std::size_t m_dirtyBegin = 0;   // changed bytes: [m_dirtyBegin, m_dirtyEnd)
    std::size_t m_dirtyEnd = 0;
    ULONGLONG m_position = 0;
    HRESULT m_fault = S_OK;  // the first write failure, kept
};
