// A persistent object's saved form as bytes in memory, and back: what the
// loaders' fuzz targets and round-trip checks need without a file.
//
// Any thread that owns the object.
#pragma once

#include <vector>

#include "platform/com/ComStream.h"
#include "platform/com/Persist.h"

namespace mvpersist {

// The object's Save into a memory stream; empty when it failed.
inline std::vector<BYTE> SaveToBytes(IPersistStreamInit* object)
{
    std::vector<BYTE> bytes;
    IStream* stream = nullptr;
    if (!object || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return bytes;
    if (SUCCEEDED(object->Save(stream, TRUE))) {
        STATSTG stat{};
        stream->Stat(&stat, 1);
        bytes.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    }
    stream->Release();
    return bytes;
}

// The object's Load from the bytes.
inline HRESULT LoadFromBytes(IPersistStreamInit* object, const BYTE* data, std::size_t size)
{
    IStream* stream = nullptr;
    if (!object)
        return E_POINTER;
    if (HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream); FAILED(hr))
        return hr;
    stream->Write(data, static_cast<ULONG>(size), nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    const HRESULT hr = object->Load(stream);
    stream->Release();
    return hr;
}

}  // namespace mvpersist
