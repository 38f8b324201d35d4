// Memory streams for the maps' persistence tests: a chunk built byte by byte
// as a file would hold it, and the bytes a save wrote.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace chunktest {

class Bytes {
public:
    Bytes& U8(std::uint8_t v) { return Raw(&v, 1); }
    Bytes& U32(std::uint32_t v) { return Raw(&v, 4); }
    Bytes& U64(std::uint64_t v) { return Raw(&v, 8); }
    Bytes& Raw(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const std::uint8_t*>(p);
        data.insert(data.end(), b, b + n);
        return *this;
    }
    // A whole chunk: length, version word, then these bytes as the payload.
    std::vector<std::uint8_t> AsChunk(std::uint32_t word) const
    {
        Bytes c;
        c.U64(12 + data.size()).U32(word).Raw(data.data(), data.size());
        return c.data;
    }
    std::vector<std::uint8_t> data;
};

inline mvcom::CComPtr<IStream> StreamOf(const std::vector<std::uint8_t>& bytes)
{
    mvcom::CComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    ULONG written = 0;
    if (!bytes.empty())
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return stream;
}

inline std::vector<std::uint8_t> BytesOf(IStream* stream)
{
    LARGE_INTEGER zero{};
    ULARGE_INTEGER end{};
    stream->Seek(zero, STREAM_SEEK_END, &end);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(end.QuadPart));
    ULONG read = 0;
    if (!out.empty())
        stream->Read(out.data(), static_cast<ULONG>(out.size()), &read);
    return out;
}

}  // namespace chunktest
