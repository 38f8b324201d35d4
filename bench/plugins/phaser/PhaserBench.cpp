// The phaser engine's cost per stereo frame at 48 kHz on one core, for
// white noise and for the long silent tail after it (where denormal
// numbers would show if they reached the state), with the flush-to-zero
// mode the plug-in sets around each block.
//
// For comparison, sox's phaser effect (when installed: apt-get install
// sox) on the same length of stereo float audio, timed by the wall clock
// around the whole run; its counter is the same nanoseconds per frame,
// reading and writing the files included.
#include <benchmark/benchmark.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "CPhaserEngine.h"

namespace {

constexpr int kRate = 48000;
constexpr int kFrames = kRate * 10;

std::vector<float> Noise()
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(-0.5f, 0.5f);
    std::vector<float> v(static_cast<std::size_t>(kFrames) * 2);
    for (float& s : v)
        s = d(rng);
    return v;
}

// The plug-in's defaults (quadrature), free-running at 0.377 Hz.
void Configure(mvphaser::CPhaserEngine& e, float rate = kRate)
{
    e.SetSampleRate(rate);
    e.SetMode(0.77f);
    e.SetSync(0.0f);
    e.SetRate(0.3f);
    e.SetDepth(0.4f);
    e.SetWaveform(0.39f);
    e.SetCenterFrequency(0.2f);
    e.SetFeedback(0.7f);
    e.SetLevel(1.0f);
    e.SnapLevel();
}

void Run(mvphaser::CPhaserEngine& e, float* frame, const std::vector<float>& in, std::vector<float>& out)
{
#if defined(__SSE__)
    const unsigned int saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040);
#endif
    for (std::size_t i = 0; i < in.size(); i += 2) {
        frame[0] = in[i];
        frame[1] = in[i + 1];
        e.ProcessFrame();
        out[i] = frame[0];
        out[i + 1] = frame[1];
    }
#if defined(__SSE__)
    _mm_setcsr(saved);
#endif
}

// White noise, ten seconds a run.
void BM_PhaserEngine(benchmark::State& state)
{
    mvphaser::CPhaserEngine e;
    float frame[2];
    e.SetFrame(frame);
    Configure(e);
    const std::vector<float> noise = Noise();
    std::vector<float> out(noise.size());
    for (auto _ : state) {
        Run(e, frame, noise, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PhaserEngine)->Unit(benchmark::kMillisecond);

// White noise in blocks of 256 frames, as the plug-in hands them over.
void BM_PhaserEngineBlocks(benchmark::State& state)
{
    mvphaser::CPhaserEngine e;
    Configure(e);
    const std::vector<float> noise = Noise();
    std::vector<float> out(noise.size());
    for (auto _ : state) {
#if defined(__SSE__)
        const unsigned int saved = _mm_getcsr();
        _mm_setcsr(saved | 0x8040);
#endif
        out = noise;
        for (std::size_t at = 0; at < out.size(); at += 512)
            e.ProcessFrames(out.data() + at, static_cast<int>(std::min<std::size_t>(256, (out.size() - at) / 2)));
#if defined(__SSE__)
        _mm_setcsr(saved);
#endif
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PhaserEngineBlocks)->Unit(benchmark::kMillisecond);

// The block step alone in each mode, at 44.1 kHz as a song is exported,
// feedback on, in blocks of 256 frames; the noise is copied in outside
// the timing, so only ProcessFrames is counted. Argument: the mode (1
// mono, 2 stereo, 3 quadrature).
void BM_PhaserFrames(benchmark::State& state)
{
    constexpr int kBlock = 256;
    const auto mode = static_cast<int>(state.range(0));
    mvphaser::CPhaserEngine e;
    Configure(e, 44100.0f);
    e.SetMode(static_cast<float>(mode) / 3.9f + 0.01f);
    const std::vector<float> noise = Noise();
    std::vector<float> out(noise.size());
#if defined(__SSE__)
    const unsigned int saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040);
#endif
    for (auto _ : state) {
        state.PauseTiming();
        out = noise;
        state.ResumeTiming();
        for (std::size_t at = 0; at < out.size(); at += 2 * kBlock)
            e.ProcessFrames(out.data() + at, static_cast<int>(std::min<std::size_t>(kBlock, (out.size() - at) / 2)));
        benchmark::DoNotOptimize(out.data());
    }
#if defined(__SSE__)
    _mm_setcsr(saved);
#endif
    state.SetLabel(mode == 1 ? "mono" : mode == 2 ? "stereo" : "quadrature");
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PhaserFrames)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// The tail: each iteration plays noise, then times the silence after it.
void BM_PhaserSilentTail(benchmark::State& state)
{
    mvphaser::CPhaserEngine e;
    float frame[2];
    e.SetFrame(frame);
    Configure(e);
    const std::vector<float> noise = Noise();
    const std::vector<float> silence(noise.size(), 0.0f);
    std::vector<float> out(noise.size());
    for (auto _ : state) {
        state.PauseTiming();
        Run(e, frame, noise, out);
        state.ResumeTiming();
        Run(e, frame, silence, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PhaserSilentTail)->Unit(benchmark::kMillisecond);

std::string WriteNoiseWav()
{
    const std::vector<float> noise = Noise();
    const std::string path = "/tmp/mvbench-phaser-in.wav";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    const auto data = static_cast<unsigned>(noise.size() * 4);
    auto u32 = [&](unsigned v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](unsigned short v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + data);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(3);
    u16(2);
    u32(kRate);
    u32(kRate * 8);
    u16(8);
    u16(32);
    std::fwrite("data", 1, 4, f);
    u32(data);
    std::fwrite(noise.data(), 4, noise.size(), f);
    std::fclose(f);
    return path;
}

void BM_SoxPhaser(benchmark::State& state)
{
    if (std::system("command -v sox > /dev/null 2>&1") != 0) {
        state.SkipWithError("sox is not installed (apt-get install sox)");
        return;
    }
    const std::string in = WriteNoiseWav();
    // gain-in, gain-out, delay ms, decay, speed Hz, triangular modulation.
    const std::string command = "sox -q -V1 " + in + " -e floating-point /tmp/mvbench-phaser-out.wav phaser 0.8 0.74 3 0.4 0.377 -t";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            return;
        }
    }
    state.counters["ns_per_frame"] =
        benchmark::Counter(double(state.iterations()) * kFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SoxPhaser)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
