// Rendering spans of playback from a channel timeline: 10,000 instances of
// 100-event patterns (each tick covered by two instances), spans of a
// buffer's worth of ticks and more. The figures to watch:
//   ns_per_event   time per emitted event (target: at most 50 ns, search included)
//   allocs         allocations per span (must be 0: the audio thread renders)
// BM_SearchOnly renders a span that no instance sounds in, over timelines of
// 1,000 to 100,000 instances: what is left is the search, which should grow
// with the logarithm of the count.
//
// Every allocation of the process is counted; a rendering path that
// allocates fails the benchmark.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "bench/AllocationCounter.h"
#include "engine/CTimeline.h"
#include "model/CPattern.h"
#include "model/CTempoMap.h"
#include "model/IEngineServices.h"
#include "model/ISongDocument.h"

namespace {

constexpr int kPatterns = 100;
constexpr int kEventsPerPattern = 100;
constexpr LONG kPatternTicks = 1920;
constexpr LONG kSpacing = 1920;         // one instance starts every two beats
constexpr LONG kInstanceTicks = 3840;   // and lasts four: two sound at every tick
constexpr std::size_t kCapacity = 1 << 16;

// The song as rendering sees it: present, with nothing being recorded.
class BenchDocument : public ISongDocument {
public:
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
    HRESULT GetPattern(SHORT, CPattern**) override { return E_INVALIDARG; }
    LONG GetSongEnd() override { return 0; }
    CTempoMap* GetTempoMap() override { return &m_tempo; }
    DWORD GetActiveInstance() override { return kNoInstance; }
    HRESULT SetActiveInstance(DWORD, CMvCommand*) override { return S_OK; }

private:
    CTempoMap m_tempo;
};

class BenchRecorder : public IRecorder {
public:
    BOOL IsRecordingPattern(SHORT) override { return FALSE; }
    BOOL IsParamTouched(DWORD) override { return FALSE; }
    DWORD GetOverwriteRecordMode() override { return 0; }
};

class BenchEngine : public IEngineServices {
public:
    IClipPool* GetClipPool() override { return nullptr; }
    IRecorder* GetRecorder() override { return &m_recorder; }
    DWORD GetSampleRate() override { return 48000; }

private:
    BenchRecorder m_recorder;
};

// Registered once for the whole run: every song renders against them.
void RegisterSongAndEngine()
{
    static BenchDocument document;
    static BenchEngine engine;
    SetSongDocument(&document);
    SetEngineServices(&engine);
}

struct PatternDeleter {
    void operator()(CPattern* p) const { DestroyPattern(p); }
};

// The song: patterns of notes and controllers, and a timeline of instances
// laid one after another with overlaps and varied offsets.
class Song {
public:
    explicit Song(int instances) : m_timeline(nullptr)
    {
        RegisterSongAndEngine();
        std::mt19937 rng(3);
        for (int p = 0; p < kPatterns; ++p) {
            CPattern* pattern = nullptr;
            CreatePattern(static_cast<SHORT>(p), &pattern, CPattern::kKindMidi);
            pattern->SetDuration(kPatternTicks);
            for (int i = 0; i < kEventsPerPattern; ++i) {
                CMfxEvent e(i % 10 == 9 ? MfxController : MfxNote);
                e.m_time = i * (kPatternTicks / kEventsPerPattern) + static_cast<LONG>(rng() % 5);
                e.m_data[0] = static_cast<BYTE>(36 + rng() % 60);
                pattern->InsertEvent(e, FALSE, nullptr, FALSE);
            }
            m_patterns.emplace_back(pattern);
        }
        for (int i = 0; i < instances; ++i) {
            CPatternInstance instance(m_patterns[static_cast<std::size_t>(i % kPatterns)].get());
            instance.SetStart(i * kSpacing);
            instance.SetEnd(i * kSpacing + kInstanceTicks);
            instance.SetOffset((i * 37) % kPatternTicks);
            m_timeline.Insert(m_timeline.GetSize(), instance);
        }
    }
    CTimeline& Timeline() { return m_timeline; }
    LONG Length() const { return static_cast<LONG>(m_timeline.GetSize()) * kSpacing; }

private:
    std::vector<std::unique_ptr<CPattern, PatternDeleter>> m_patterns;
    CTimeline m_timeline;
};

Song& TenThousand()
{
    static Song song(10000);
    return song;
}

// Renders spans of state.range(0) ticks; with jumps, each span starts at a
// random place of the song, as after locates, else playback runs on.
void RenderSpans(benchmark::State& state, bool jumps)
{
    Song& song = TenThousand();
    const LONG span = static_cast<LONG>(state.range(0));
    std::vector<LONG> starts(4096);
    std::mt19937 rng(11);
    for (std::size_t i = 0; i < starts.size(); ++i)
        starts[i] = jumps ? static_cast<LONG>(rng() % static_cast<unsigned>(song.Length() - span))
                          : static_cast<LONG>((static_cast<LONGLONG>(i) * span) % (song.Length() - span));
    std::vector<CMfxEvent> events;
    events.reserve(kCapacity);

    long long emitted = 0;
    std::size_t next = 0;
    const long allocationsBefore = mvbench::Allocations();
    for (auto _ : state) {
        events.clear();
        const LONG from = starts[next];
        next = (next + 1) & (starts.size() - 1);
        if (song.Timeline().RenderSpan(from, from + span, &events, 0.25f) != S_OK) {
            state.SkipWithError("the span did not render");
            break;
        }
        emitted += static_cast<long long>(events.size());
        benchmark::DoNotOptimize(events.data());
    }
    mvbench::ReportAllocations(state, allocationsBefore, "allocs", "the rendering path allocated");
    state.counters["events_per_span"] =
        benchmark::Counter(static_cast<double>(emitted), benchmark::Counter::kAvgIterations);
    state.counters["ns_per_event"] = benchmark::Counter(static_cast<double>(emitted),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RenderPlayback(benchmark::State& state) { RenderSpans(state, false); }
void BM_RenderAfterLocate(benchmark::State& state) { RenderSpans(state, true); }

// A span past the last instance: nothing sounds, only the search runs.
void BM_SearchOnly(benchmark::State& state)
{
    Song song(static_cast<int>(state.range(0)));
    std::vector<CMfxEvent> events;
    events.reserve(16);
    const LONG from = song.Length() + kInstanceTicks;
    const long allocationsBefore = mvbench::Allocations();
    for (auto _ : state) {
        benchmark::DoNotOptimize(song.Timeline().RenderSpan(from, from + 256, &events, 0.0f));
    }
    mvbench::ReportAllocations(state, allocationsBefore, "allocs", "the search allocated");
    if (!events.empty())
        state.SkipWithError("the search rendered");
}

}  // namespace

// 64 ticks is about a 256-frame buffer at 120 BPM and 48 kHz.
BENCHMARK(BM_RenderPlayback)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(BM_RenderAfterLocate)->Arg(64)->Arg(256)->Arg(1024)->Arg(4096);
BENCHMARK(BM_SearchOnly)->Arg(1000)->Arg(10000)->Arg(100000);
