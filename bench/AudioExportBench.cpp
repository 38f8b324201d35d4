// Exporting a full song to a 16-bit WAV file, on one core (the render
// thread; the calling thread only waits): "realtime_factor" is the song's
// length over the time the export took, "realtime_factor_cpu" the same over
// the CPU time it took (what a core of its own would give on a shared,
// loaded machine), and "song_seconds" the length.
//
// The song: 96 tracks (the song document's limit), each a sine test
// instrument playing a bar of four eighth notes in every bar for 225 s;
// every third track runs its output through the phaser Sorvic; every track
// sends to one of two aux buses. The engine runs at 44100 Hz with blocks of
// the argument's length, as the sound card would. No track plays loops:
// bench_LoopSongBench measures a song of loop players.
//
// Run pinned to one core, e.g. `taskset -c 2 build/bench/bench_AudioExportBench`.
#include <benchmark/benchmark.h>


#include <time.h>

#include <chrono>
#include <string>

#include "engine/hosting/CAudioExport.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/mixer/COutputBranch.h"
#include "model/CPatternInstance.h"
#include "tests/engine/hosting/ExportEngineFactory.h"
#include "tests/plugins/synthframework/sine/SineSynthClass.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRate = 44100;
constexpr int kTracks = CMidiDoc::kMaxChannels;
constexpr double kSongSeconds = 225.0;
constexpr LONG kBar = 3840;
constexpr GUID kSorvic = {0xA6190AD9, 0xC20F, 0x49FC, {0xBF, 0x24, 0x3F, 0xF2, 0xAD, 0xAE, 0xF9, 0xB1}};

// The CPU time of the whole process: the render thread's, the caller only waits.
double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The engine owner with the song, built once per block length.
template <int Block>
class ExportRig : public mvtest::ExportEngine<Block> {
public:
    ExportRig()
    {
        ok = SUCCEEDED(this->StartEngine(kRate, {MVTEST_SINE_SERVER, MVTEST_SORVIC_SERVER})) && BuildSong() &&
             SUCCEEDED(this->transport->ApplyAudioReset());
    }

    bool BuildSong()
    {
        CMidiDoc* doc = this->doc;
        const LONG songTicks = doc->GetTempoMap()->TimeToTicks(static_cast<LONG>(kSongSeconds * kRate), kRate);
        for (int t = 0; t < kTracks; ++t) {
            CPattern* pattern = nullptr;
            CChannel* channel = nullptr;
            if (FAILED(doc->InsertChannel(t, FALSE, &mvtest::CLSID_SineSynth, mvtest::kSineInstrumentName, nullptr)) ||
                FAILED(doc->CreatePattern(static_cast<SHORT>(300 + t), FALSE, nullptr, &pattern)) ||
                FAILED(doc->GetChannelAt(t, &channel)))
                return false;
            pattern->SetDuration(kBar);
            // Four eighth notes, each track in a key of its own.
            for (int n = 0; n < 4; ++n) {
                CMfxEvent note(MfxNote);
                note.m_time = n * 960;
                note.m_note.key = static_cast<BYTE>(36 + (t * 5 + n * 7) % 60);
                note.m_note.velocity = 40;
                note.m_note.duration = 480;
                if (FAILED(pattern->InsertEvent(note, FALSE, nullptr, FALSE)))
                    return false;
            }
            for (LONG bar = 0; bar + kBar <= songTicks; bar += kBar) {
                CPatternInstance instance(pattern);
                instance.SetStart(bar);
                instance.SetEnd(bar + kBar);
                if (FAILED(channel->AddPatternInstance(instance, FALSE, nullptr)))
                    return false;
            }
            COutputBranch* output = channel->GetOutputBranch(0);
            if (!output)
                return false;
            if (t % 3 == 0 && FAILED(output->GetChain().InsertFxByClsid(0, kSorvic, "Sorvic")))
                return false;
            channel->SetAuxSendEnabled(0, t % 2, TRUE);
        }
        return true;
    }

    mvtest::TempDir dir;
    bool ok = false;
};

template <int Block>
void BM_ExportSongToWav(benchmark::State& state)
{
    ExportRig<Block> rig;
    if (!rig.ok) {
        state.SkipWithError("the song could not be built");
        return;
    }
    CExportOptions options;
    options.format = CExportOptions::kFormatWav;
    options.sampleRate = kRate;
    options.bitsPerSample = 16;
    CAudioExport exporter(rig.transport.get(), rig.doc);
    const std::string path = rig.dir.File("song.wav");
    double seconds = 0, cpuSeconds = 0;
    for (auto _ : state) {
        const double c0 = ProcessCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        const HRESULT hr = exporter.Run(path.c_str(), options);
        const auto t1 = std::chrono::steady_clock::now();
        cpuSeconds += ProcessCpuSeconds() - c0;
        if (FAILED(hr)) {
            state.SkipWithError("the export failed");
            return;
        }
        seconds += std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    const double songSeconds = static_cast<double>(rig.doc->GetTempoMap()->TicksToTime(rig.doc->GetSongEnd(), kRate)) / kRate;
    state.counters["song_seconds"] = songSeconds;
    state.counters["realtime_factor"] = songSeconds * static_cast<double>(state.iterations()) / seconds;
    state.counters["realtime_factor_cpu"] = songSeconds * static_cast<double>(state.iterations()) / cpuSeconds;
}

BENCHMARK(BM_ExportSongToWav<256>)->Name("ExportSongToWav/block:256")->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);
BENCHMARK(BM_ExportSongToWav<1024>)->Name("ExportSongToWav/block:1024")->UseManualTime()->Iterations(1)->Repetitions(3)->Unit(benchmark::kSecond);

}  // namespace
