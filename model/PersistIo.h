// Stream helpers shared by the persistence classes: positions, absolute
// seeks, and whole reads and writes that turn a short transfer into a fault.
// The on-disk format is little-endian and fields are copied as they lie in
// memory, so this code assumes a little-endian machine.
#pragma once

#include <bit>
#include <cstdint>

#include "platform/com/Stream.h"

static_assert(std::endian::native == std::endian::little, "persisted fields are copied as they lie in memory");

namespace mvpersist {

// The stream's current position, asked with a zero move from the current one.
inline HRESULT GetPosition(IStream* stream, ULONGLONG& position)
{
    LARGE_INTEGER zero{};
    ULARGE_INTEGER now{};
    HRESULT hr = stream->Seek(zero, STREAM_SEEK_CUR, &now);
    if (SUCCEEDED(hr))
        position = now.QuadPart;
    return hr;
}

inline HRESULT SeekTo(IStream* stream, ULONGLONG position)
{
    if (position > static_cast<ULONGLONG>(INT64_MAX))
        return STG_E_SEEKERROR;
    LARGE_INTEGER move{};
    move.QuadPart = static_cast<LONGLONG>(position);
    ULARGE_INTEGER now{};
    return stream->Seek(move, STREAM_SEEK_SET, &now);
}

// The stream's error as it is, or STG_E_WRITEFAULT when fewer bytes were taken.
inline HRESULT WriteAll(IStream* stream, const void* data, ULONG bytes)
{
    ULONG written = 0;
    HRESULT hr = stream->Write(data, bytes, &written);
    if (FAILED(hr))
        return hr;
    return written == bytes ? S_OK : STG_E_WRITEFAULT;
}

// The stream's error as it is, or STG_E_READFAULT when fewer bytes came.
inline HRESULT ReadAll(IStream* stream, void* data, ULONG bytes)
{
    ULONG read = 0;
    HRESULT hr = stream->Read(data, bytes, &read);
    if (FAILED(hr))
        return hr;
    return read == bytes ? S_OK : STG_E_READFAULT;
}

}  // namespace mvpersist
