// Feeds arbitrary bytes to the clip reader as a file and, when it opens,
// reads the whole data chunk and every slice: a refusal is fine, a read past
// a buffer or a crash is not.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "plugins/loopplayer/cliplib/CWaveClipReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A file in memory where there is one: the reader opens files by name.
    static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/fuzz-waveclip-" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    CWaveClipReader reader;
    if (reader.Open(path.c_str()) == S_OK) {
        std::vector<char> buffer(4096);
        DWORD total = 0;
        for (LONG got; (got = reader.Read(buffer.data(), LONG(buffer.size()))) > 0;) total += DWORD(got);
        if (total > reader.GetDataSize()) __builtin_trap();
        for (int i = 0; i < reader.GetSliceCount(); ++i) {
            auto [start, length] = reader.GetSlice(i);
            if (std::uint64_t(start) + length > reader.GetFrames()) __builtin_trap();
        }
        reader.SeekFrame(reader.GetFrames() / 2);
        reader.Read(buffer.data(), LONG(buffer.size()));
    }
    return 0;
}
