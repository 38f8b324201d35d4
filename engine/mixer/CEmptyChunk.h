// The nested object saved where an object may be absent (a channel without
// a synth, a channel without automation pattern): a bare 12-byte chunk of
// version word 0 and no payload. No persistent class of the program uses
// major 0, so a loader can tell it from a real object before it makes one.
// Any thread that persists.
#pragma once

#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"

class CEmptyChunk : public CKelPersistObject {
public:
    CEmptyChunk() : CKelPersistObject(0) {}

    // Writes the empty chunk.
    static HRESULT Save(CKelPersistArchive* archive);
    // Loading: whether the next nested object is the empty chunk, without
    // reading it (the stream is left where it stood). False when less than
    // a chunk header is left.
    static HRESULT PeekIsEmpty(CKelPersistArchive* archive, bool* empty);
    // Loading: reads the empty chunk.
    static HRESULT Skip(CKelPersistArchive* archive);

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;
};
