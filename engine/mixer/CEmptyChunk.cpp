#include "engine/mixer/CEmptyChunk.h"

#include <cstring>

#include "platform/com/Stream.h"

namespace {
constexpr ULONG kHeaderBytes = 12;
}

STDMETHODIMP CEmptyChunk::PersistChunk(DWORD, CKelPersistArchive*) { return S_OK; }

HRESULT CEmptyChunk::Save(CKelPersistArchive* archive)
{
    CEmptyChunk empty;
    return archive->PersistObject(&empty);
}

HRESULT CEmptyChunk::Skip(CKelPersistArchive* archive)
{
    CEmptyChunk empty;
    return archive->PersistObject(&empty);
}

HRESULT CEmptyChunk::PeekIsEmpty(CKelPersistArchive* archive, bool* empty)
{
    if (archive == nullptr || empty == nullptr)
        return E_POINTER;
    *empty = false;
    if (archive->IsSaving())
        return E_UNEXPECTED;
    if (FAILED(archive->CheckRemaining(kHeaderBytes)))
        return S_OK;
    IStream* stream = archive->GetStream();
    if (stream == nullptr)
        return E_FAIL;
    unsigned char header[kHeaderBytes] = {};
    ULONG read = 0;
    HRESULT hr = stream->Read(header, kHeaderBytes, &read);
    LARGE_INTEGER back{};
    back.QuadPart = -static_cast<LONGLONG>(read);
    const HRESULT hrSeek = stream->Seek(back, STREAM_SEEK_CUR, nullptr);
    if (FAILED(hr))
        return hr;
    if (FAILED(hrSeek))
        return hrSeek;
    if (read < kHeaderBytes)
        return S_OK;
    ULONGLONG length = 0;
    DWORD word = 0;
    std::memcpy(&length, header, sizeof(length));
    std::memcpy(&word, header + sizeof(length), sizeof(word));
    *empty = length == kHeaderBytes && word == 0;
    return S_OK;
}
