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
// Lives in the scope of its creator for one load or save: AddRef and Release
// do not count. Used by one thread. No buffering of its own; moves are limited
// to signed 32-bit distances (files up to 2 GB).
#pragma once

#include "model/CBasicStream.h"
#include "model/CKelStreamContext.h"
#include "model/CKelStreamHeader.h"

class CFile;

class CFileStream : public CBasicStream {
public:
    // The file stays the caller's: it is neither opened nor closed here.
    // `result` (may be null) receives the construction result.
    CFileStream(CFile* file, BOOL saving, HRESULT* result);
    ~CFileStream() override;
    CFileStream(const CFileStream&) = delete;
    CFileStream& operator=(const CFileStream&) = delete;

    // When saving and not yet closed: writes the context chunk at the end
    // and rewrites the header with its position. Run by the destructor, which
    // cannot report a failure; call it first to learn the result.
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
    HRESULT OpenForLoad(HRESULT headerResult);

    CFile* m_file;
    CKelStreamContext m_context;
    ULONGLONG m_start = 0;
    CKelStreamHeader m_header;
    BOOL m_saving;
    BOOL m_closed = FALSE;
};
