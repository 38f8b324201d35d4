#include "model/CKelPersistCOMObject.h"

#include "model/CKelPersistArchive.h"
#include "model/NullWriteStream.h"
#include "model/PersistIo.h"

CKelPersistCOMObject::CKelPersistCOMObject(DWORD versionWord) : CKelPersistStream(versionWord, nullptr, 0) {}

STDMETHODIMP CKelPersistCOMObject::LoadChunk(DWORD versionWord, IStream* stream, ULONGLONG payloadBytes)
{
    HRESULT hr = CheckVersion(versionWord);
    if (FAILED(hr))
        return hr;
    CKelPersistArchive archive(stream, FALSE, FALSE);
    archive.BoundToChunk(payloadBytes);
    return PersistChunk(versionWord, &archive);
}

STDMETHODIMP CKelPersistCOMObject::SaveChunk(DWORD versionWord, IStream* stream, ULONGLONG* written, BOOL clearDirty)
{
    HRESULT hr = CheckVersion(versionWord);
    if (FAILED(hr))
        return hr;
    if (!written)
        return E_POINTER;
    if (!stream)
        return STG_E_INVALIDPOINTER;
    ULONGLONG before = 0;
    if (FAILED(hr = mvpersist::GetPosition(stream, before)))
        return hr;
    CKelPersistArchive archive(stream, TRUE, clearDirty);
    if (FAILED(hr = PersistChunk(versionWord, &archive)))
        return hr;
    ULONGLONG after = 0;
    if (FAILED(hr = mvpersist::GetPosition(stream, after)))
        return hr;
    *written = after - before;
    return S_OK;
}

STDMETHODIMP CKelPersistCOMObject::MeasureChunk(DWORD versionWord, ULONGLONG* bytes)
{
    HRESULT hr = CheckVersion(versionWord);
    if (FAILED(hr))
        return hr;
    if (!bytes)
        return E_POINTER;
    // Nested objects are saved into the counter too; they must not be marked
    // clean by a measurement, so nested saves get clear-dirty 0.
    NullWriteStream counter;
    CKelPersistArchive archive(&counter, FALSE);
    hr = PersistChunk(versionWord, &archive);
    *bytes = counter.GetSize();
    return hr;
}
