// Loop clips at the song's tempo on one core: 16 looped stereo clips (2 s,
// 4 beats, 8 slices, 120 BPM of their own) mixed into one stereo stream at
// 90 and 150 BPM, 25% off their own tempo either way, in 512-frame blocks.
// The real-time factor counts seconds of stream per second of work.
//
// For comparison, the same audio stretched by the same factor with the
// rubberband command-line tool (when installed), one clip per run; its
// factor counts seconds of output audio per second of wall time, multiplied
// by nothing: one clip, where the first measure mixes sixteen.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"

namespace {

constexpr int kRate = 44100;
constexpr int kClips = 16;
constexpr int kBlock = 512;

class TempoHost : public IRembetHost {
public:
    double bpm = 120;
    LONGLONG SamplesToFixedTicks(LONGLONG s) override
    {
        return std::llround(double(s) / kRate * bpm / 60.0 * CLoopClip::kFixedQuarter);
    }
    LONGLONG FixedTicksToSamples(LONGLONG t) override
    {
        return std::llround(double(t) / CLoopClip::kFixedQuarter * 60.0 / bpm * kRate);
    }
    LONG GetSampleRate() override { return kRate; }
};

void Put(std::string& b, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i) b.push_back(char(v >> (8 * i)));
}

std::string Chunk(const char* id, const std::string& body)
{
    std::string b(id, 4);
    Put(b, std::uint32_t(body.size()), 4);
    return b + body;
}

// A 2-second stereo 16-bit loop of 4 beats in 8 slices: a decaying tone
// that starts again on every slice, so each slice is audible.
std::string WriteLoop(bool sliced)
{
    const int frames = 2 * kRate, slices = 8;
    std::string data;
    for (int i = 0; i < frames; ++i) {
        int into = i % (frames / slices);
        double v = std::sin(2 * 3.14159265 * 220.0 * (1 + i / (frames / slices)) * i / kRate) *
                   std::exp(-into / 4000.0) * 20000;
        Put(data, std::uint16_t(std::int16_t(v)), 2);
        Put(data, std::uint16_t(std::int16_t(-v)), 2);
    }
    std::string fmt;
    Put(fmt, 1, 2);
    Put(fmt, 2, 2);
    Put(fmt, kRate, 4);
    Put(fmt, kRate * 4, 4);
    Put(fmt, 4, 2);
    Put(fmt, 16, 2);
    std::string acid;
    Put(acid, 0, 4);
    Put(acid, 60, 2);
    Put(acid, 0, 6);
    Put(acid, 4, 4);
    Put(acid, 0x00040004, 4);
    float tempo = 120.0f;
    std::uint32_t t;
    std::memcpy(&t, &tempo, 4);
    Put(acid, t, 4);
    std::string strc;
    Put(strc, 0, 4);
    Put(strc, slices - 1, 4);
    Put(strc, 0, 20);
    for (int k = 1; k < slices; ++k) {
        Put(strc, 0, 8);
        Put(strc, std::uint32_t(k * frames / slices), 4);
        Put(strc, 0, 4);
        Put(strc, 1, 4);
        Put(strc, 0, 12);
    }
    std::string body = "WAVE" + Chunk("fmt ", fmt) + Chunk("data", data);
    if (sliced) body += Chunk("acid", acid) + Chunk("strc", strc);
    std::string path = std::string("/tmp/mvbench-loop-") + (sliced ? "sliced" : "plain") + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::string file = Chunk("RIFF", body);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return path;
}

WAVEFORMATEX Stereo()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = 2;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = 8;
    f.nAvgBytesPerSec = kRate * 8;
    return f;
}

void BM_SixteenLoopClips(benchmark::State& state)
{
    TempoHost host;
    host.bpm = double(state.range(0));
    const std::string path = WriteLoop(true);
    const WAVEFORMATEX format = Stereo();
    std::vector<CLoopClip*> clips;
    for (int i = 0; i < kClips; ++i) {
        auto* clip = new CLoopClip(&host, nullptr);
        if (clip->LoadFromFile("loop", path, format, nullptr, false, false) != S_OK) {
            state.SkipWithError("the loop did not load");
            return;
        }
        // Stretched slices, offset by a beat each so the clips do not align.
        clip->SetKeepSliceLengths(state.range(1));
        clip->SetLoopOrigin(LONGLONG(i % 4) * 960, CLoopClip::kUnitTicks);
        clips.push_back(clip);
    }
    std::vector<float> out(size_t(kBlock) * 2);
    LONGLONG position = 0;
    for (auto _ : state) {
        std::fill(out.begin(), out.end(), 0.0f);
        for (CLoopClip* clip : clips) clip->RenderMix(out.data(), format, -1, position, kBlock);
        position += kBlock;
        benchmark::ClobberMemory();
    }
    state.counters["realtime_x"] = benchmark::Counter(double(state.iterations()) * kBlock / kRate,
                                                      benchmark::Counter::kIsRate);
    for (CLoopClip* clip : clips) clip->Release();
}
// (song BPM, keep slice lengths)
BENCHMARK(BM_SixteenLoopClips)->Args({90, 0})->Args({150, 0})->Args({90, 1})->Unit(benchmark::kMicrosecond);

// The rubberband tool stretching one clip's audio by the same factor
// (120/90 and 120/150), timed by the wall clock around the whole run.
void BM_RubberbandTool(benchmark::State& state)
{
    if (std::system("command -v rubberband > /dev/null 2>&1") != 0) {
        state.SkipWithError("rubberband is not installed (apt-get install rubberband-cli)");
        return;
    }
    const std::string in = WriteLoop(false);
    const double ratio = 120.0 / double(state.range(0));
    const std::string command = "rubberband -q -t " + std::to_string(ratio) + " " + in +
                                " /tmp/mvbench-loop-stretched.wav > /dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("rubberband failed");
            return;
        }
    }
    state.counters["realtime_x"] = benchmark::Counter(double(state.iterations()) * 2.0 * ratio,
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RubberbandTool)->Arg(90)->Arg(150)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
