// The persistence context of a file stream: a directory from (major, ordinal)
// to the absolute position where that object's chunk starts, plus the next
// ordinal per major. While saving it collects positions; it is then written
// as its own chunk (major 1) at the end of the file, and read back first when
// the file is opened for loading.
//
// Payload of chunk 0: u32 entry count, then per entry in key order major u16,
// ordinal u32, position u64. The ordinal counters are not persisted.
//
// Threads: used by the one thread that owns its stream. Release never
// deletes: the context is embedded in its stream.
#pragma once

#include <map>
#include <utility>

#include "model/CKelPersistObject.h"
#include "model/IKelStreamContext.h"

class CKelStreamContext : public CKelPersistObject, public IKelStreamContext {
public:
    CKelStreamContext();

    // IKelStreamContext answers with the interface part; IUnknown and
    // IPersistStreamInit with the persistent object; others E_NOTIMPL.
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(SetMode)(DWORD mode) override;
    STDMETHOD(GetMode)(DWORD* mode) override;
    STDMETHOD(FindChunk)(WORD major, DWORD ordinal, ULONGLONG* position) override;
    STDMETHOD(AddChunk)(WORD major, ULONGLONG position, DWORD* ordinal) override;
    STDMETHOD(RemoveChunk)(WORD major, DWORD ordinal) override;
    STDMETHOD(Clear)() override;
    STDMETHOD(NextOrdinal)(WORD major, DWORD* ordinal) override;

    // Chunk 0 is the directory; other chunk indices transfer nothing.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    using Key = std::pair<WORD, DWORD>;  // ordered by major, then ordinal

    std::map<Key, ULONGLONG> m_directory;
    std::map<WORD, DWORD> m_counters;
    DWORD m_mode = 1;
};
