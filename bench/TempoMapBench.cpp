// Tick-to-time and time-to-tick conversions on a song of 1,000 tempo
// changes, at 100-ns reference time and at a sample rate. The audio thread
// and the MIDI-effect host convert several times per buffer and per event.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "model/CTempoMap.h"

namespace {

constexpr int kChanges = 1000;
constexpr int kSamples = 4096;
constexpr LONG kChangeSpacing = 3840;  // one change per 4/4 measure

CTempoMap& SongMap()
{
    static CTempoMap map = [] {
        CTempoMap m;
        std::mt19937 rng(7);
        std::uniform_int_distribution<LONG> tempo(6000, 18000);
        m.Set(0, CTempo(0, tempo(rng)));
        for (int i = 1; i < kChanges; ++i)
            m.Insert(i, CTempo(i * kChangeSpacing, tempo(rng)));
        return m;
    }();
    return map;
}

std::vector<LONG> Ticks()
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<LONG> tick(0, kChanges * kChangeSpacing + 20000);
    std::vector<LONG> ticks(kSamples);
    for (LONG& t : ticks)
        t = tick(rng);
    return ticks;
}

void BM_TicksToTime(benchmark::State& state)
{
    const CTempoMap& map = SongMap();
    const std::vector<LONG> ticks = Ticks();
    const LONGLONG scale = state.range(0);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.TicksToTime(ticks[i], scale));
        i = (i + 1) & (kSamples - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TimeToTicks(benchmark::State& state)
{
    const CTempoMap& map = SongMap();
    const LONGLONG scale = state.range(0);
    std::vector<LONGLONG> times;
    for (LONG t : Ticks())
        times.push_back(map.TicksToTime(t, scale));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.TimeToTicks(times[i], scale));
        i = (i + 1) & (kSamples - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_TicksToTime)->Arg(10000000)->Arg(48000);
BENCHMARK(BM_TimeToTicks)->Arg(10000000)->Arg(48000);

}  // namespace
