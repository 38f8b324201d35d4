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
#include "bench/plugins/loopplayer/BenchLoop.h"

namespace {

constexpr int kRate = mvbench::kLoopRate;
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

void BM_SixteenLoopClips(benchmark::State& state)
{
    TempoHost host;
    host.bpm = double(state.range(0));
    const std::string path = mvbench::WriteLoop(true);
    const WAVEFORMATEX format = mvbench::FloatStereo();
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
// (120/90 and 120/150).
void BM_RubberbandTool(benchmark::State& state) { mvbench::RubberbandStretch(state, double(state.range(0))); }
BENCHMARK(BM_RubberbandTool)->Arg(90)->Arg(150)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
