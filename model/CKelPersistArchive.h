// The load/save object handed to IKelPersist::PersistChunk. One set of
// transfers serves both directions: a class calls the same sequence whether
// saving or loading and the archive's saving flag picks the direction.
//
// On disk: PersistBytes writes the field's bytes as they lie in memory
// (little-endian); PersistString a u32 length that counts the terminating zero
// followed by the text and the zero; PersistBool one byte (1 or 0);
// PersistObject the object's own complete chunk.
//
// Loading is bounded: an archive made by the base for one chunk knows how much
// of that chunk is left. A transfer, or a string or block length read from the
// stream, that runs past it fails with STG_E_READFAULT before anything is read
// or allocated, so a class never reads into the next chunk. A read that returns
// fewer bytes than asked is STG_E_READFAULT; a write that takes fewer is
// STG_E_WRITEFAULT. Failures are returned at once; nothing is rolled back.
#pragma once

#include "platform/com/Persist.h"
#include "platform/win/CString.h"

class NullWriteStream;

class CKelPersistArchive {
public:
    // A saving (saving != 0) or loading archive over the stream, which it
    // holds a reference on. clearDirty is what nested saves receive.
    CKelPersistArchive(IStream* stream, BOOL saving, BOOL clearDirty);
    // A saving archive that only measures: what is written is counted by the
    // NullWriteStream and discarded.
    CKelPersistArchive(NullWriteStream* measure, BOOL clearDirty);
    ~CKelPersistArchive();
    CKelPersistArchive(const CKelPersistArchive&) = delete;
    CKelPersistArchive& operator=(const CKelPersistArchive&) = delete;

    BOOL IsSaving() const { return m_saving; }
    BOOL IsMeasuring() const { return m_measure != nullptr; }
    IStream* GetStream() const { return m_stream; }
    BOOL GetClearDirty() const { return m_clearDirty; }

    HRESULT PersistBytes(ULONG size, void* address);
    HRESULT PersistString(CString* text);
    HRESULT PersistBool(BOOL* value);
    HRESULT PersistObject(IPersistStreamInit* object);

    // Loading: S_OK when `bytes` more can be read inside the current chunk,
    // else STG_E_READFAULT. Classes that read a count or a length and then
    // allocate check it here first. Always S_OK while saving or when the
    // archive is not bounded by a chunk.
    HRESULT CheckRemaining(ULONGLONG bytes);

    // Hands the stream to `transfer`, which reads or writes a block in a
    // format of its own straight through it (a loop clip's saved state).
    // Loading: what it took is measured by position and must lie inside the
    // current chunk, as for a nested object.
    template <class Transfer>
    HRESULT PersistStreamed(Transfer&& transfer);

    // Bounds a loading archive to the chunk payload that begins where the
    // stream now stands. Called by the persistence base before PersistChunk.
    void BoundToChunk(ULONGLONG payloadBytes);

private:
    IStream* m_stream;
    NullWriteStream* m_measure;
    BOOL m_saving;
    BOOL m_clearDirty;
    // Consumes `bytes` of the bounded chunk, or fails when fewer are left.
    HRESULT Consume(ULONGLONG bytes);
    // The position before a child's read, and the check of what it took.
    HRESULT BeginMeasuredRead(ULONGLONG* before);
    HRESULT EndMeasuredRead(ULONGLONG before, HRESULT childResult);

    bool m_bounded = false;
    ULONGLONG m_left = 0;  // bytes of the bounded chunk not yet read
};

template <class Transfer>
HRESULT CKelPersistArchive::PersistStreamed(Transfer&& transfer)
{
    if (!m_stream)
        return E_FAIL;
    if (m_saving || !m_bounded)
        return transfer(m_stream);
    ULONGLONG before = 0;
    HRESULT hr = BeginMeasuredRead(&before);
    if (FAILED(hr))
        return hr;
    return EndMeasuredRead(before, transfer(m_stream));
}
