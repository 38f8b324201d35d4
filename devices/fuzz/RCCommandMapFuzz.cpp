// A song's remote-controlled transport commands from arbitrary bytes (the
// map's payload): the map, each command target and its nested learned message. A load must
// fail cleanly or give a map whose saved form loads again to the same
// bytes; nothing may leak or be freed twice.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "devices/CRCCommandMap.h"
#include "model/PersistBytes.h"


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
    if (FAILED(mvpersist::LoadFromBytes(&map, chunk.data(), chunk.size())))
        return 0;
    const std::vector<BYTE> saved = mvpersist::SaveToBytes(&map);
    CRCCommandMap again(nullptr, nullptr);
    if (FAILED(mvpersist::LoadFromBytes(&again, saved.data(), saved.size())) ||
        mvpersist::SaveToBytes(&again) != saved)
        __builtin_trap();
    return 0;
}
