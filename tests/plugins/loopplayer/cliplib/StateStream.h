// Memory streams for the tests of saved clip states: the bytes a save wrote,
// and a load from given bytes that says how far it read.
#pragma once

#include <algorithm>
#include <cstring>

#include "platform/com/ComStream.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

// The bytes written by save into a fresh memory stream, and its result.
template <typename Save>
inline Bytes SavedBytes(Save save, HRESULT* result = nullptr)
{
    IStream* s = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &s);
    HRESULT hr = save(s);
    if (result) *result = hr;
    HGLOBAL mem = nullptr;
    GetHGlobalFromStream(s, &mem);
    Bytes out(GlobalSize(mem));
    if (!out.empty()) std::memcpy(out.data(), GlobalLock(mem), out.size());
    GlobalUnlock(mem);
    s->Release();
    return out;
}

// Runs load over a stream of bytes; *consumed is where it stopped.
template <typename Load>
inline HRESULT LoadFromBytes(const Bytes& bytes, Load load, ULONGLONG* consumed = nullptr)
{
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, std::max<size_t>(bytes.size(), 1));
    if (!bytes.empty()) std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
    GlobalUnlock(mem);
    IStream* s = nullptr;
    CreateStreamOnHGlobal(mem, TRUE, &s);
    ULARGE_INTEGER size{};
    size.QuadPart = bytes.size();
    s->SetSize(size);
    HRESULT hr = load(s);
    if (consumed) {
        LARGE_INTEGER zero{};
        ULARGE_INTEGER at{};
        s->Seek(zero, STREAM_SEEK_CUR, &at);
        *consumed = at.QuadPart;
    }
    s->Release();
    return hr;
}

template <typename T>
inline void Patch(Bytes& b, size_t offset, T value)
{
    std::memcpy(b.data() + offset, &value, sizeof(T));
}

template <typename T>
inline T Peek(const Bytes& b, size_t offset)
{
    T value;
    std::memcpy(&value, b.data() + offset, sizeof(T));
    return value;
}
