// The song document at its largest: 96 tracks (the most it takes) of 10
// pattern instances each, with its four aux buses and master bus.
//   BM_RebuildGraph   every container invalidated, then the whole graph
//                     taken apart, added, connected and run again
//   BM_RenderSpan     the data renderer's render broadcast for one buffer of
//                     64 frames at 48 kHz and 120 bpm (2.56 ticks): the
//                     document's part of the per-buffer work
//   BM_ProcessBuffer  one whole buffer of 64 frames as the engine owner runs
//                     it: the span's data broadcast, then the block pushed
//                     through the document's graph (null synths, output
//                     branches, aux buses, master bus) to the output
// Each reports p50 and p99.9 of its samples in microseconds; the render
// span also counts allocations (must be 0: it runs on the audio thread).
// The 64-frame period is 1333 us; the goal for a whole buffer is p99.9
// under a quarter of it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/AllocationCounter.h"
#include "bench/Percentiles.h"
#include "bench/SongRenderers.h"
#include "devices/CAudioRenderer.h"
#include "engine/CDataRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/hosting/CMidiDoc.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "model/ISongDocument.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

constexpr int kTracks = CMidiDoc::kMaxChannels;
constexpr int kInstancesPerTrack = 10;
constexpr int kRate = 48000;
constexpr int kFrames = 64;

// A document of kTracks tracks, each with kInstancesPerTrack instances of
// its own 16-note pattern, built once.
struct Song {
    Song()
    {
        engine.playing = true;
        engine.graph->SetBlockFrames(kFrames);
        engine.graph->SetSampleRate(kRate);
        CMidiDoc::CreateMidiDoc(&engine, &doc);
        SetSongDocument(doc);
        for (int t = 0; t < kTracks; ++t) {
            doc->InsertChannel(t, FALSE, &CLSID_NoSynth, "", nullptr);
            CChannel* channel = nullptr;
            doc->GetChannelAt(t, &channel);
            CPattern* pattern = nullptr;
            doc->CreatePattern(static_cast<SHORT>(t + 1), FALSE, nullptr, &pattern);
            pattern->SetDuration(3840);
            for (int n = 0; n < 16; ++n) {
                CMfxEvent e(MfxNote);
                e.m_time = n * 240;
                e.m_note.key = static_cast<BYTE>(48 + n);
                e.m_note.velocity = 100;
                e.m_note.duration = 120;
                pattern->InsertEvent(e, FALSE, nullptr, FALSE);
            }
            for (int i = 0; i < kInstancesPerTrack; ++i) {
                CPatternInstance instance(pattern);
                instance.SetStart(i * 3840);
                instance.SetEnd((i + 1) * 3840);
                channel->AddPatternInstance(instance, FALSE, nullptr);
            }
        }
        doc->RebuildGraph();
    }
    ~Song()
    {
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        CMidiDoc::DestroyMidiDoc(doc);
    }

    songdoctest::FakeEngine engine;
    CMidiDoc* doc = nullptr;
};

void BM_RebuildGraph(benchmark::State& state)
{
    Song song;
    std::vector<double> us;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        song.doc->InvalidateAllContainers();
        song.doc->SetGraphDirty();
        const HRESULT hr = song.doc->RebuildGraph();
        const auto end = std::chrono::steady_clock::now();
        if (FAILED(hr)) {
            state.SkipWithError("the rebuild failed");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    mvbench::ReportPercentiles(state, us);
}
BENCHMARK(BM_RebuildGraph)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_RenderSpan(benchmark::State& state)
{
    Song song;
    CDataRenderer renderer;
    renderer.SetDocument(song.doc);
    renderer.Locate(0);
    std::vector<double> us;
    us.reserve(200000);
    double from = 0.0;
    constexpr double kTicksPerBuffer = 64.0 / 48000.0 * 2.0 * 960.0;
    const long before = mvbench::Allocations();
    for (auto _ : state) {
        const LONG a = static_cast<LONG>(from);
        from += kTicksPerBuffer;
        if (from >= kInstancesPerTrack * 3840.0) {
            from = 0.0;
            renderer.Loop(0, kInstancesPerTrack * 3840);
        }
        const auto start = std::chrono::steady_clock::now();
        renderer.BeginSpan(a);
        renderer.Render(a, static_cast<LONG>(from) + 1);
        const auto end = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    mvbench::ReportAllocations(state, before, "allocs", "the render span allocated");
    mvbench::ReportPercentiles(state, us);
}
BENCHMARK(BM_RenderSpan)->Unit(benchmark::kMicrosecond)->Iterations(100000);

void BM_ProcessBuffer(benchmark::State& state)
{
    Song song;
    mvbench::SongRenderers renderers(song.doc, kRate);
    if (!renderers.ready) {
        state.SkipWithError("the audio renderer did not prepare");
        return;
    }
    CAudioRenderer& audio = renderers.audio;
    CDataRenderer& data = renderers.data;
    std::vector<float> block(kFrames * 2);
    std::vector<double> us;
    us.reserve(200000);
    const LONG songEnd = kInstancesPerTrack * 3840;
    LONGLONG sample = 0;
    LONG from = 0;
    const long before = mvbench::Allocations();
    for (auto _ : state) {
        sample += kFrames;
        LONG to = song.doc->GetTempoMap()->TimeToTicks(static_cast<LONG>(sample), kRate, FALSE) + 1;
        const bool wraps = to >= songEnd;
        to = std::min(to, songEnd);
        int got = 0;
        const auto start = std::chrono::steady_clock::now();
        HRESULT hr = data.BeginSpan(from);
        if (SUCCEEDED(hr))
            hr = data.Render(from, to);
        if (wraps && SUCCEEDED(hr))
            hr = data.Loop(0, songEnd);
        if (SUCCEEDED(hr))
            hr = audio.BeginBuffer(kFrames);
        if (SUCCEEDED(hr))
            hr = audio.BeginSegment(kFrames, kFrames);
        if (SUCCEEDED(hr))
            hr = audio.RenderBuffer(block.data(), nullptr, kFrames, &got, kFrames, 1);
        const auto end = std::chrono::steady_clock::now();
        if (FAILED(hr) || got != kFrames) {
            state.SkipWithError("the buffer did not render");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        from = wraps ? 0 : to;
        if (wraps)
            sample = 0;
    }
    mvbench::ReportAllocations(state, before, "allocs", "the buffer allocated");
    mvbench::ReportPercentiles(state, us);
    data.Stop(from);
}
BENCHMARK(BM_ProcessBuffer)->Unit(benchmark::kMicrosecond)->Iterations(100000);

}  // namespace
