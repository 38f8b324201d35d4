// Feeds arbitrary bytes to the clip reader as a file and, when it opens,
// reads the whole data chunk and every slice; then loads the same file as a
// loop clip at another stream rate and renders it at two tempos. A refusal
// is fine, a read past a buffer or a crash is not.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/CWaveClipReader.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"

namespace {

class Host : public IRembetHost {
public:
    double bpm = 120;
    LONGLONG SamplesToFixedTicks(LONGLONG s) override { return std::llround(s / 48000.0 * bpm / 60.0 * 62914560.0); }
    LONGLONG FixedTicksToSamples(LONGLONG t) override { return std::llround(t / 62914560.0 * 60.0 / bpm * 48000.0); }
    LONG GetSampleRate() override { return 48000; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A file in memory where there is one: the reader opens files by name.
    static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    "/fuzz-waveclip-" + std::to_string(getpid()) + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    {
        CWaveClipReader reader;
        if (reader.Open(path.c_str()) != S_OK) return 0;
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

    Host host;
    CLoopClip* clip = new CLoopClip(&host, nullptr);
    // Short clips keep each run quick; longer ones are refused or cut.
    clip->SetMaxSeconds(0.5);
    WAVEFORMATEX stream{};
    stream.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    stream.nChannels = 2;
    stream.nSamplesPerSec = 48000;
    stream.wBitsPerSample = 32;
    stream.nBlockAlign = 8;
    stream.nAvgBytesPerSec = 48000 * 8;
    int reason = 0;
    if (clip->LoadFromFile("fuzz", path, stream, &reason, size & 1, true) == S_OK) {
        std::vector<float> out(2 * 1024);
        for (double bpm : {120.0, 77.0}) {
            host.bpm = bpm;
            clip->SetTranspose(bpm > 100 ? 0 : 5);
            for (LONGLONG at = 0; at < 4 * 1024; at += 1024) clip->RenderMix(out.data(), stream, 3, at, 1024);
        }
    }
    clip->Release();
    return 0;
}
