// Importing a Standard MIDI File: a format 1 file of 16 tracks (one per MIDI
// channel) of 12,500 events each, 200,000 in all, division 480, into a song
// document that keeps what the import builds. A track holds its name, a bank
// select and a program change, then groups of eight events: a controller,
// two overlapping notes, a third note and a pitch wheel. The figure to watch:
//   real_time   one whole import (target: under 50 ms; read the _min row)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/res/CScriptedAnswerer.h"
#include "tests/model/SmfTestSupport.h"

namespace {

constexpr int kTracks = 16;
constexpr int kEventsPerTrack = 12500;
constexpr int kGroups = (kEventsPerTrack - 4) / 8;
static_assert(kGroups * 8 + 4 == kEventsPerTrack, "name, bank, program, groups and end make up a track");

smftest::Bytes MakeFile()
{
    std::vector<smftest::TrackWriter> tracks(kTracks);
    for (int t = 0; t < kTracks; ++t) {
        smftest::TrackWriter& w = tracks[t];
        const auto channel = static_cast<BYTE>(t);
        w.Text(0, 0x03, "Track " + std::to_string(t + 1));
        w.Controller(0, channel, 0, 1).Program(0, channel, static_cast<BYTE>(t * 5));
        for (int i = 0; i < kGroups; ++i) {
            const auto key = static_cast<BYTE>(36 + (i * 7 + t) % 48);
            w.Controller(0, channel, 7, static_cast<BYTE>(i & 127));
            w.NoteOn(0, channel, key).NoteOn(60, channel, static_cast<BYTE>(key + 12));
            w.NoteOff(60, channel, key).NoteOff(0, channel, static_cast<BYTE>(key + 12));
            w.NoteOn(0, channel, static_cast<BYTE>(key + 3)).NoteOff(120, channel, static_cast<BYTE>(key + 3));
            w.Message(0, {static_cast<BYTE>(0xE0 | channel), static_cast<BYTE>(i & 127), 0x40});
        }
        w.End();
    }
    return smftest::File(1, 480, tracks);
}

void BM_ImportFormat1(benchmark::State& state)
{
    const smftest::Bytes file = MakeFile();
    for (auto _ : state) {
        state.PauseTiming();
        auto document = std::make_unique<smftest::CFakeImportDocument>();
        // Each track keeps a track of its own; the question is not shown.
        auto answerer = std::make_shared<CScriptedAnswerer>();
        answerer->QueueAnswer(IDNO);
        CPromptAnswererScope scope(answerer);
        state.ResumeTiming();

        const HRESULT hr = smftest::Import(document.get(), file);

        state.PauseTiming();
        if (FAILED(hr) || document->m_instances.size() != kTracks)
            state.SkipWithError("the import failed");
        document.reset();
        state.ResumeTiming();
    }
    state.counters["events"] = kTracks * kEventsPerTrack;
    state.counters["bytes"] = static_cast<double>(file.size());
}
// The machine is shared: the least of ten runs is the figure that shows the
// import's own cost.
BENCHMARK(BM_ImportFormat1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });

}  // namespace
