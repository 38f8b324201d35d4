// A song's remote-controlled transport commands from arbitrary bytes: the
// map, each command target and its nested learned message. A load must
// fail cleanly or give a map whose saved form loads again to the same
// bytes; nothing may leak or be freed twice.
#include <cstddef>
#include <cstdint>
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
    CRCCommandMap map(nullptr, nullptr);
    if (!Load(map, data, size))
        return 0;
    const std::vector<BYTE> saved = Save(map);
    CRCCommandMap again(nullptr, nullptr);
    if (!Load(again, saved.data(), saved.size()) || Save(again) != saved)
        __builtin_trap();
    return 0;
}
