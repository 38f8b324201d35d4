// A song of loop clips: 16 tracks, each a loop player (registered with
// regsvr in a registry of the bench's own, created by class identifier as
// the song document does) playing a looped 2-second stereo clip of 4 slices
// at 120 BPM of its own, in a song at 100 BPM, so every slice is stretched.
//   BM_LoopSongProcessBuffer  one whole buffer of 64 frames at 48 kHz as the
//                             engine owner runs it: the span's data
//                             broadcast, then the block pushed through the
//                             document's graph (the 16 players, output
//                             branches, aux buses, master bus with its
//                             metronome) to the output
// Reports p50 and p99.9 of the buffers in microseconds and counts
// allocations (must be 0: the path runs on the audio thread). The 64-frame
// period is 1333 us; the goal is p99.9 under a quarter of it (333 us).
//
// Run pinned to one core, e.g. `taskset -c 2 build/bench/bench_LoopSongBench`.
#include <benchmark/benchmark.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/AllocationCounter.h"
#include "bench/Percentiles.h"
#include "bench/SongRenderers.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/hosting/CMetronomePlayer.h"
#include "engine/hosting/CMfxHostSite.h"
#include "engine/hosting/CMidiDoc.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "model/ISongDocument.h"
#include "platform/registry/Registry.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/HostSiteFakes.h"
#include "tests/engine/hosting/PoolEngineServices.h"
#include "tests/engine/hosting/RenderBuffer.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"
#include "tests/support/TempRegistry.h"

namespace {

constexpr int kTracks = 16;
constexpr int kRate = 48000;
constexpr int kFrames = 64;
constexpr LONG kSongTempo = 10000;
// Far longer than any run: the instances never end while the bench plays.
constexpr LONG kInstanceTicks = 2000 * 3840;

bool RegisterLoopPlayer()
{
    const std::string command =
        std::string("'") + MVTEST_REGSVR + "' '" + MVTEST_TAMBLOR_SERVER + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The song, built once: each track's clip from a file of its own.
struct LoopSong {
    LoopSong()
    {
        if (!RegisterLoopPlayer())
            return;
        SetEngineServices(&services);
        engine.playing = true;
        engine.graph->SetBlockFrames(kFrames);
        engine.graph->SetSampleRate(kRate);
        siteEngine.rate = kRate;
        if (FAILED(CreateMfxHostSite(&siteEngine, &site)))
            return;
        engine.hostSite = site;
        if (FAILED(CMidiDoc::CreateMidiDoc(&engine, &doc)))
            return;
        SetSongDocument(doc);
        site->SetDocument(doc);
        doc->GetTempoMap()->Set(0, CTempo(0, kSongTempo));
        for (int t = 0; t < kTracks; ++t) {
            const std::string path = files.Write("loop" + std::to_string(t) + ".wav",
                                                 FloatStereoLoop(kRate, 2 * kRate, 4, {0, 24000, 48000, 72000}));
            CPattern* pattern = nullptr;
            CChannel* channel = nullptr;
            CPatternInstance* instance = nullptr;
            const LONG start = 0;
            if (FAILED(doc->CreatePattern(static_cast<SHORT>(t + 1), FALSE, nullptr, &pattern, TRUE)) ||
                FAILED(doc->PlaceLoopClip(pattern, path.c_str(), nullptr, &channel, TRUE, &start)) ||
                channel->GetPatternInstance(doc->GetActiveInstance(), &instance) != S_OK ||
                FAILED(instance->SetEnd(kInstanceTicks)))
                return;
        }
        ok = SUCCEEDED(doc->RebuildGraph());
    }
    ~LoopSong()
    {
        CUndoHistory::Instance().Clear();
        if (site != nullptr)
            site->SetDocument(nullptr);
        SetSongDocument(nullptr);
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
        if (site != nullptr)
            site->Release();
        SetEngineServices(nullptr);
    }

    mvtest::TempRegistry registry;
    TempFiles files;
    songplay::PoolEngineServices services{kRate};
    sitetest::FakeSiteEngine siteEngine;
    CMfxHostSite* site = nullptr;
    songdoctest::FakeEngine engine;
    CMidiDoc* doc = nullptr;
    bool ok = false;
};

void BM_LoopSongProcessBuffer(benchmark::State& state)
{
    LoopSong song;
    if (!song.ok) {
        state.SkipWithError("the song could not be built");
        return;
    }
    mvbench::SongRenderers play(song.doc, kRate);
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(state.max_iterations));
    std::vector<float> block(kFrames * 2);
    LONGLONG sample = 0;
    LONG from = 0;
    float peak = 0.0f;
    const long before = mvbench::Allocations();
    for (auto _ : state) {
        sample += kFrames;
        const LONG to = song.doc->GetTempoMap()->TimeToTicks(static_cast<LONG>(sample), kRate, FALSE) + 1;
        const auto start = std::chrono::steady_clock::now();
        const HRESULT hr = songplay::RenderSongBuffer(play.data, play.audio, from, to, block.data(), kFrames);
        const auto end = std::chrono::steady_clock::now();
        if (!play.ready || FAILED(hr)) {
            state.SkipWithError("the buffer did not render");
            break;
        }
        us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
        for (float s : block)
            peak = std::max(peak, s < 0 ? -s : s);
        from = to;
    }
    mvbench::ReportAllocations(state, before, "allocs", "the buffer allocated");
    if (peak == 0.0f)
        state.SkipWithError("the loops were not heard");
    state.counters["peak"] = peak;
    mvbench::ReportPercentiles(state, us);
    play.data.Stop(from);
}
BENCHMARK(BM_LoopSongProcessBuffer)->Unit(benchmark::kMicrosecond)->Iterations(100000);

}  // namespace
