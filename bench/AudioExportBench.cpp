// Exporting a full song to a 16-bit WAV file, on one core (the render
// thread; the calling thread only waits): "realtime_factor" is the song's
// length over the time the export took, "realtime_factor_cpu" the same over
// the CPU time it took (what a core of its own would give on a shared,
// loaded machine), and "song_seconds" the length.
//
// The song: 225 s at 96 BPM (90 bars) on 96 tracks (the song document's
// limit). The first 64 tracks are sine test instruments, each playing a bar
// of four eighth notes in every bar; the last 32 are loop players (the real
// one, registered with regsvr), each looping a stereo clip of its own file
// for the whole song: 2 s of four sliced beats at 120 BPM of the clip's own,
// so every slice is stretched to the song's tempo. Every third track runs
// its output through the phaser Sorvic; every track sends to one of two aux
// buses. The engine runs at 44100 Hz with blocks of the argument's length,
// as the sound card would.
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
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"
#include "tests/plugins/synthframework/sine/SineSynthClass.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRate = 44100;
constexpr int kTracks = CMidiDoc::kMaxChannels;
constexpr int kLoopTracks = kTracks / 3;
constexpr double kSongSeconds = 225.0;
constexpr LONG kBar = 3840;
// 96 BPM: 225 s is 90 whole bars, and the clips' 120 BPM stretch by 1.25.
constexpr LONG kSongTempo = 9600;
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
        ok = SUCCEEDED(this->StartEngine(kRate, {MVTEST_SINE_SERVER, MVTEST_SORVIC_SERVER, MVTEST_TAMBLOR_SERVER})) && BuildSong() &&
             SUCCEEDED(this->transport->ApplyAudioReset());
    }

    bool BuildSong()
    {
        CMidiDoc* doc = this->doc;
        if (FAILED(doc->GetTempoMap()->Set(0, CTempo(0, kSongTempo))))
            return false;
        const LONG songTicks = doc->GetTempoMap()->TimeToTicks(static_cast<LONG>(kSongSeconds * kRate), kRate);
        for (int t = 0; t < kTracks; ++t) {
            CChannel* channel = t < kTracks - kLoopTracks ? AddSineTrack(t, songTicks) : AddLoopTrack(t, songTicks);
            if (channel == nullptr)
                return false;
            COutputBranch* output = channel->GetOutputBranch(0);
            if (!output)
                return false;
            if (t % 3 == 0 && FAILED(output->GetChain().InsertFxByClsid(0, kSorvic, "Sorvic")))
                return false;
            channel->SetAuxSendEnabled(0, t % 2, TRUE);
        }
        return true;
    }

    // Track t, a sine instrument playing four eighth notes in a key of its
    // own in every whole bar up to songTicks.
    CChannel* AddSineTrack(int t, LONG songTicks)
    {
        CMidiDoc* doc = this->doc;
        CPattern* pattern = nullptr;
        CChannel* channel = nullptr;
        if (FAILED(doc->InsertChannel(t, FALSE, &mvtest::CLSID_SineSynth, mvtest::kSineInstrumentName, nullptr)) ||
            FAILED(doc->CreatePattern(static_cast<SHORT>(300 + t), FALSE, nullptr, &pattern)) ||
            FAILED(doc->GetChannelAt(t, &channel)))
            return nullptr;
        pattern->SetDuration(kBar);
        for (int n = 0; n < 4; ++n) {
            CMfxEvent note(MfxNote);
            note.m_time = n * 960;
            note.m_note.key = static_cast<BYTE>(36 + (t * 5 + n * 7) % 60);
            note.m_note.velocity = 40;
            note.m_note.duration = 480;
            if (FAILED(pattern->InsertEvent(note, FALSE, nullptr, FALSE)))
                return nullptr;
        }
        for (LONG bar = 0; bar + kBar <= songTicks; bar += kBar) {
            CPatternInstance instance(pattern);
            instance.SetStart(bar);
            instance.SetEnd(bar + kBar);
            if (FAILED(channel->AddPatternInstance(instance, FALSE, nullptr)))
                return nullptr;
        }
        return channel;
    }

    // Track t (the last one so far), a loop player looping a clip of a file
    // of its own from the song's start to songTicks. Null unless the player
    // took the instance's clip into the engine's pool.
    CChannel* AddLoopTrack(int t, LONG songTicks)
    {
        CMidiDoc* doc = this->doc;
        const int beat = kRate / 2;
        const std::string path = files.Write("loop" + std::to_string(t) + ".wav",
                                             FloatStereoLoop(kRate, 4 * beat, 4, {0, beat, 2 * beat, 3 * beat}));
        CPattern* pattern = nullptr;
        CChannel* channel = nullptr;
        CPatternInstance* instance = nullptr;
        const LONG start = 0;
        if (FAILED(doc->CreatePattern(static_cast<SHORT>(300 + t), FALSE, nullptr, &pattern, TRUE)) ||
            FAILED(doc->PlaceLoopClip(pattern, path.c_str(), nullptr, &channel, TRUE, &start)) ||
            channel->GetPatternInstance(doc->GetActiveInstance(), &instance) != S_OK ||
            FAILED(instance->SetEnd(songTicks)))
            return nullptr;
        IClipPool* pool = this->transport->GetClipPool();
        if (pool == nullptr || pool->GetClip(instance->GetInstanceId()) == nullptr)
            return nullptr;
        return channel;
    }

    mvtest::TempDir dir;
    TempFiles files;
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
