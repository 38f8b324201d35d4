// A song's remote-controlled transport commands from arbitrary bytes (the
// map's payload): the map, each command target and its nested learned message. A load must
// fail cleanly or give a map whose saved form loads again to the same
// bytes; nothing may leak or be freed twice.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "devices/CRCCommandMap.h"
#include "platform/com/ComStream.h"

namespace {

std::vector<BYTE> Save(CRCCommandMap& map)
{
    IStream* stream = nullptr;
    std::vector<BYTE> bytes;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return bytes;
    if (SUCCEEDED(map.Save(stream, TRUE))) {
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

bool Load(CRCCommandMap& map, const BYTE* data, std::size_t size)
{
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return false;
    stream->Write(data, static_cast<ULONG>(size), nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    const bool ok = SUCCEEDED(map.Load(stream));
    stream->Release();
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The bytes are the map's payload, behind a chunk header of its own.
    std::vector<BYTE> chunk(12);
    const std::uint64_t length = 12 + size;
    const std::uint32_t word = static_cast<std::uint32_t>(CRCCommandMap::kMajor) << 16;
    std::memcpy(chunk.data(), &length, 8);
    std::memcpy(chunk.data() + 8, &word, 4);
    chunk.insert(chunk.end(), data, data + size);
    CRCCommandMap map(nullptr, nullptr);
    if (!Load(map, chunk.data(), chunk.size()))
        return 0;
    const std::vector<BYTE> saved = Save(map);
    CRCCommandMap again(nullptr, nullptr);
    if (!Load(again, saved.data(), saved.size()) || Save(again) != saved)
        __builtin_trap();
    return 0;
}
