// The root of the persistence base chain. Every saved object writes itself as
// one self-describing chunk:
//
//   u64 length   whole chunk, counting these 8 bytes, the word and the payload
//   u32 word     major << 16 | minor
//   payload      length - 12 bytes
//
// A single-chunk object (first chunk index == minor) has PersistChunk's bytes
// for major << 16 | minor as its payload. A multi-chunk object's payload is one
// sub-chunk per index first..minor, each laid out as a chunk of its own with the
// word major << 16 | index; every sub-chunk is written, also when empty. All
// integers are little-endian.
//
// This class runs the chunk framing (Save, Load, LoadFromContext, GetSizeMax);
// the per-chunk work is LoadChunk, SaveChunk and MeasureChunk, which
// CKelPersistCOMObject implements on top of the class's PersistChunk.
//
// Threads: persistence runs on the caller's thread (the UI thread in practice).
// Save, the chunk reader, GetSizeMax and IsDirty hold the object's lock, when it
// has one, for their whole run; the lock belongs to the derived object (for
// example a container the audio thread also reads) and is only borrowed here.
#pragma once

#include "platform/com/Persist.h"
#include "platform/sync/CriticalSection.h"

class CKelPersistStream : public IPersistStreamInit {
public:
    // versionWord: major << 16 | minor. The lock may be null.
    CKelPersistStream(DWORD versionWord, CRITICAL_SECTION* lock, WORD firstChunk);
    CKelPersistStream(const CKelPersistStream& other);
    CKelPersistStream& operator=(const CKelPersistStream& other);
    virtual ~CKelPersistStream();

    // IPersist / IPersistStreamInit.
    // GUID_NULL and S_FALSE: persistent objects are created by their owners,
    // never by class id.
    STDMETHOD(GetClassID)(CLSID* clsid) override;
    STDMETHOD(IsDirty)() override;
    STDMETHOD(Load)(IStream* stream) override;
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) override;
    // Exactly the number of bytes Save writes.
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;
    STDMETHOD(InitNew)() override;

    // Loads from the chunk position that the stream's persistence context
    // recorded for (major, ordinal); reads where the stream stands when the
    // directory has no such entry. Without a context nothing is read (S_OK).
    STDMETHOD(LoadFromContext)(IStream* stream, DWORD ordinal, BOOL restorePosition);
    // 1: read and written in stream order only. Objects whose chunk positions
    // go through the persistence context return 0.
    STDMETHOD_(BOOL, IsSequentialOnly)();
    // One chunk's payload. The version word's major must be the object's and
    // its index at most the object's minor, else E_INVALIDARG.
    STDMETHOD(LoadChunk)(DWORD versionWord, IStream* stream, ULONGLONG payloadBytes) = 0;
    STDMETHOD(SaveChunk)(DWORD versionWord, IStream* stream, ULONGLONG* written, BOOL clearDirty) = 0;
    STDMETHOD(MeasureChunk)(DWORD versionWord, ULONGLONG* bytes) = 0;

    WORD GetMajor() const { return m_major; }
    WORD GetMinor() const { return m_minor; }
    DWORD GetVersionWord() const { return static_cast<DWORD>(m_major) << 16 | m_minor; }
    BOOL GetDirty() const { return m_dirty != 0 ? TRUE : FALSE; }
    void SetDirty(BOOL dirty = TRUE) { m_dirty = dirty ? 1u : 0u; }

protected:
    // E_INVALIDARG unless the word is of this class and its index is at most
    // the object's minor.
    HRESULT CheckVersion(DWORD versionWord) const;

    DWORD m_dirty;
    WORD m_major;
    WORD m_minor;
    WORD m_firstChunk;
    CRITICAL_SECTION* m_lock;  // borrowed from the derived object, may be null

private:
    HRESULT LoadChunks(IStream* stream);
    HRESULT SaveSubChunk(IStream* stream, DWORD versionWord, BOOL clearDirty, ULONGLONG* chunkLength);
};
