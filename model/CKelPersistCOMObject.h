// The persistence base with its per-class serializer: adds the IKelPersist
// sub-object and implements the chunk operations on top of PersistChunk.
// LoadChunk hands PersistChunk a loading archive bounded by the chunk's
// payload; SaveChunk a saving archive; MeasureChunk a saving archive over a
// NullWriteStream that only counts.
#pragma once

#include "model/CKelPersistStream.h"
#include "model/IKelPersist.h"

class CKelPersistCOMObject : public CKelPersistStream, public IKelPersist {
public:
    explicit CKelPersistCOMObject(DWORD versionWord);
    CKelPersistCOMObject(const CKelPersistCOMObject& other) = default;
    CKelPersistCOMObject& operator=(const CKelPersistCOMObject& other) = default;

    STDMETHOD(LoadChunk)(DWORD versionWord, IStream* stream, ULONGLONG payloadBytes) override;
    STDMETHOD(SaveChunk)(DWORD versionWord, IStream* stream, ULONGLONG* written, BOOL clearDirty) override;
    STDMETHOD(MeasureChunk)(DWORD versionWord, ULONGLONG* bytes) override;
};
