// The loop player on one core: 16 looped stereo clips (2 s, 4 beats, 8
// slices, 120 BPM of their own) registered as pattern clips and rendered by
// the player's Process at 90 and 150 BPM, 25% off their own tempo either
// way. The real-time factor counts seconds of stream per second of work.
// At 64-frame blocks the p99.9 of one block's time is set against the
// block's period (the goal: under a quarter of it).
//
// In the same run, the rubberband command-line tool stretches the same
// audio by the same factor (BM_RubberbandTool; apt-get install rubberband-cli).
//
// BM_MixKernel times the mixing kernels alone on a block of 1024 frames of a
// float source added into the output, as a slice renders (ramped: a
// crossfade's parabolic gains), in frames per second.
//
// Goal: at least 100 times real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "CTamblor.h"
#include "bench/plugins/loopplayer/BenchLoop.h"
#include "platform/media/CMediaSample.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/CLoopClipPool.h"
#include "plugins/loopplayer/cliplib/SampleKernels.h"

namespace {

constexpr int kRate = mvbench::kLoopRate;
constexpr int kClips = 16;

// The filter's services the player uses while it plays: time at one tempo.
class TempoContext : public mvsynth::CDXiSynthContext {
public:
    explicit TempoContext(double bpm) : m_bpm(bpm) {}
    HRESULT AddOutputPin(const WCHAR*, DWORD*) override { return E_NOTIMPL; }
    HRESULT RemoveOutputPin(DWORD) override { return E_NOTIMPL; }
    HRESULT RemoveAllOutputPins() override { return E_NOTIMPL; }
    CBasePin* FindOutputPin(DWORD) override { return nullptr; }
    DWORD GetOutputPinCount() override { return 1; }
    LONG GetOutputPinId(DWORD) override { return 1; }
    LONGLONG TicksToSamples(LONG ticks) override { return FixedTicksToSamples(LONGLONG(ticks) << 16); }
    LONG SamplesToTicks(LONGLONG samples) override { return LONG(SamplesToFixedTicks(samples) >> 16); }
    LONGLONG FixedTicksToSamples(LONGLONG ticks) override
    {
        return std::llround(double(ticks) / CLoopClip::kFixedQuarter * 60.0 / m_bpm * kRate);
    }
    LONGLONG SamplesToFixedTicks(LONGLONG samples) override
    {
        return std::llround(double(samples) / kRate * m_bpm / 60.0 * CLoopClip::kFixedQuarter);
    }
    LONG QueryHostValue(LONG, LONG) override { return -1; }
    bool IsPlaying() override { return true; }
    LONG GetSampleRate() override { return kRate; }
    mvsynth::IMfxMeterMap* GetMeterMap() override { return nullptr; }
    mvsynth::IMfxTempoMap* GetTempoMap() override { return nullptr; }

private:
    double m_bpm;
};

// (song BPM, block frames)
void BM_TamblorSixteenClips(benchmark::State& state)
{
    const LONG block = LONG(state.range(1));
    TempoContext context(double(state.range(0)));
    CLoopClipPool pool;
    mvtamblor::CTamblor player;
    player.Initialize();
    player.SetContext(&context);
    *player.GetInputFormat() = mvbench::FloatStereo();
    *player.GetOutputFormat() = mvbench::FloatStereo();
    player.put_ClipPool(&pool);
    player.put_PlayPatternClips(1);
    auto* source = new CLoopClip(&player, nullptr);
    const HRESULT loaded =
        source->LoadFromFile("loop", mvbench::WriteLoop(true), mvbench::FloatStereo(), nullptr, false, false);
    if (loaded != S_OK || pool.Add(source, 1000) != S_OK) {
        state.SkipWithError("the loop did not load");
        return;
    }
    for (DWORD i = 0; i < kClips; ++i) {
        void* clip = nullptr;
        DWORD id = i;
        if (player.AddClipCopyOf("loop", CLoopClip::kKindPattern, &clip, 1000, &id) != S_OK) {
            state.SkipWithError("a clip did not register");
            return;
        }
        // Offset by a beat each so the clips' slices do not line up.
        static_cast<CLoopClip*>(clip)->SetLength(CLoopClip::kOpen, CLoopClip::kUnitFixedTicks);
        static_cast<CLoopClip*>(clip)->SetLoopOrigin(LONGLONG(i % 4) * 960, CLoopClip::kUnitTicks);
    }

    std::vector<float> in(size_t(block) * 2, 0.0f), out(size_t(block) * 2, 0.0f);
    HRESULT hr = S_OK;
    CMediaSample inSample("in", nullptr, &hr, reinterpret_cast<BYTE*>(in.data()), block * 8);
    CMediaSample outSample("out", nullptr, &hr, reinterpret_cast<BYTE*>(out.data()), block * 8);
    const mvsynth::DXiEventList events;
    std::vector<double> times;
    times.reserve(1 << 20);
    LONGLONG position = 0;
    for (auto _ : state) {
        mvsynth::DXiBuffer inBuffer{DWORD(block), 0, 0, &inSample, 0};
        mvsynth::DXiBuffer outBuffer{DWORD(block), 0, 1, &outSample, 1};
        const auto t0 = std::chrono::steady_clock::now();
        player.Process(position, &inBuffer, &outBuffer, 1, 0, events);
        const auto t1 = std::chrono::steady_clock::now();
        if (times.size() < times.capacity())
            times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        position += block;
        benchmark::ClobberMemory();
    }
    state.counters["realtime_x"] =
        benchmark::Counter(double(state.iterations()) * block / kRate, benchmark::Counter::kIsRate);
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        state.counters["p999_us"] = times[std::min(times.size() - 1, size_t(double(times.size()) * 0.999))];
        state.counters["period_us"] = 1e6 * block / kRate;
    }
}
BENCHMARK(BM_TamblorSixteenClips)->Args({90, 512})->Args({150, 512})->Args({90, 64})->Args({150, 64})
    ->Unit(benchmark::kMicrosecond);

// (source channels, output channels, ramped)
void BM_MixKernel(benchmark::State& state)
{
    const int srcCh = int(state.range(0)), outCh = int(state.range(1));
    const bool ramp = state.range(2) != 0;
    constexpr int kFrames = 1024;
    std::vector<float> in(size_t(kFrames) * srcCh), out(size_t(kFrames) * outCh, 0.0f);
    for (size_t i = 0; i < in.size(); ++i) in[i] = float(std::sin(0.01 * double(i)));
    const MixKernel kernel = SelectKernel(32, srcCh, outCh, false, ramp);
    // A fade out over 8000 frames, a quarter of the way in.
    const double k = 8000, x = 0.25, dx = 1 / k;
    for (auto _ : state) {
        MixKernelContext c;
        c.output = out.data();
        c.input = in.data();
        c.frames = kFrames;
        c.bytesPerSample = 4;
        c.leftGain = 0.8 * (1 - x * x), c.rightGain = 0.6 * (1 - x * x);
        if (ramp) {
            c.leftSlope = -0.8 * (2 * x * dx + dx * dx), c.rightSlope = -0.6 * (2 * x * dx + dx * dx);
            c.leftCurvature = -0.8 * 2 * dx * dx, c.rightCurvature = -0.6 * 2 * dx * dx;
        }
        kernel(c);
        benchmark::DoNotOptimize(c.leftGain);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_MixKernel)
    ->ArgNames({"src", "out", "ramp"})
    ->Args({2, 2, 1})->Args({2, 2, 0})->Args({1, 2, 1})->Args({1, 2, 0})->Args({1, 1, 1})->Args({1, 1, 0})
    ->Args({2, 1, 1});

// The rubberband tool on one clip's audio, by the same factors.
void BM_RubberbandTool(benchmark::State& state) { mvbench::RubberbandStretch(state, double(state.range(0))); }
BENCHMARK(BM_RubberbandTool)->Arg(90)->Arg(150)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
