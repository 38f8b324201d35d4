// The header chunk a file stream writes at its start: where the stream's
// persistence context chunk begins. Always 20 bytes on disk: u64 20, u32 0
// (major 0, minor 0), u64 absolute position of the context chunk (0 until the
// stream is closed).
#pragma once

#include "model/CKelPersistObject.h"

class CKelStreamHeader : public CKelPersistObject {
public:
    CKelStreamHeader();

    ULONGLONG GetContextPosition() const { return m_contextPosition; }
    void SetContextPosition(ULONGLONG position) { m_contextPosition = position; }

    // Chunk 0 transfers the position; other chunk indices transfer nothing.
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    ULONGLONG m_contextPosition = 0;
};
