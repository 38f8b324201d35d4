// The loop player heard through its rendered samples: clips that follow the
// song's tempo and key, the transpose, gain and pan laws, the metronome's
// clicks at their pitches, levels and beats (through a count-in too), and
// the automation interface's answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "CTamblor.h"
#include "PlayerHost.h"
#include "platform/com/ComStream.h"
#include "platform/media/CMediaSample.h"
#include "plugins/loopplayer/cliplib/CClipSlice.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/CLoopClipPool.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"
#include "tests/plugins/synthframework/FakeHost.h"

namespace {

using mvtamblor::CTamblor;
using mvtest::PlayerHost;

constexpr int kRate = 48000;
constexpr LONG kBlock = 512;

WAVEFORMATEX FloatStereo()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = 2;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = 8;
    f.nAvgBytesPerSec = kRate * 8;
    return f;
}

Bytes FloatData(const std::vector<float>& samples)
{
    Bytes b;
    for (float s : samples) PutFloat(b, s);
    return b;
}

// A 2-second stereo loop of 4 beats at 120 BPM, one slice a beat: each slice
// is silent but for a spike on its first frame, 0.2 x (slice + 1) high.
Bytes SpikeLoop()
{
    std::vector<float> s(size_t(2 * kRate) * 2, 0.0f);
    for (int k = 0; k < 4; ++k) s[size_t(k) * 24000 * 2] = s[size_t(k) * 24000 * 2 + 1] = 0.2f * float(k + 1);
    return Wave(Concat({Chunk("fmt ", Fmt(3, 2, kRate, 32)), Chunk("data", FloatData(s)),
                        Chunk("acid", Acid(0, 60, 4, 120.0f)),
                        Chunk("strc", Strc({{0, 24000, 1}, {0, 48000, 1}, {0, 72000, 1}}))}));
}

// One second of a mono sine, unsliced.
Bytes Sine(double hz)
{
    std::vector<float> s(kRate);
    for (int i = 0; i < kRate; ++i) s[size_t(i)] = float(0.5 * std::sin(2 * M_PI * hz * i / kRate));
    return Wave(Concat({Chunk("fmt ", Fmt(3, 1, kRate, 32)), Chunk("data", FloatData(s))}));
}

// A click sound: one spike of 1.0, then silence.
Bytes Click()
{
    std::vector<float> s(200, 0.0f);
    s[0] = 1.0f;
    return Wave(Concat({Chunk("fmt ", Fmt(3, 1, kRate, 32)), Chunk("data", FloatData(s))}));
}

// Left channel's rising zero crossings per second over [from, to).
double Frequency(const std::vector<float>& out, size_t from, size_t to)
{
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        if (out[2 * (i - 1)] < 0.0f && out[2 * i] >= 0.0f) ++crossings;
    return crossings * double(kRate) / double(to - from);
}

// Frames where a sound starts on the left channel after at least `gap`
// silent frames.
std::vector<LONGLONG> Onsets(const std::vector<float>& out, size_t gap = 400)
{
    std::vector<LONGLONG> onsets;
    size_t silent = gap;
    for (size_t i = 0; i < out.size() / 2; ++i) {
        if (out[2 * i] == 0.0f) {
            ++silent;
            continue;
        }
        if (silent >= gap) onsets.push_back(LONGLONG(i));
        silent = 0;
    }
    return onsets;
}

void ExpectWithinOneFrame(const std::vector<LONGLONG>& got, const std::vector<LONGLONG>& expected, const char* what)
{
    ASSERT_EQ(got.size(), expected.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) EXPECT_LE(std::llabs(got[i] - expected[i]), 1) << what << " #" << i;
}

struct Player : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(hr, S_OK);
        ASSERT_EQ(player.Initialize(), S_OK);
        *player.GetInputFormat() = FloatStereo();
        *player.GetOutputFormat() = FloatStereo();
        ASSERT_EQ(synth.Connect(host.Handed()), S_OK);
        player.SetContext(&synth);
        player.put_ClipPool(&pool);
    }

    // One slice as the filter hands it over: an input of the given samples
    // (silence when none) and an output that holds no data yet.
    std::vector<float> Slice(LONGLONG position, LONG frames, const std::vector<float>* input = nullptr,
                             HRESULT* result = nullptr)
    {
        std::vector<float> in = input ? *input : std::vector<float>(size_t(frames) * 2, 0.0f);
        std::vector<float> out(size_t(frames) * 2, 9.0f);
        HRESULT h = S_OK;
        const LONG bytes = frames * 8;
        CMediaSample inSample("in", nullptr, &h, reinterpret_cast<BYTE*>(in.data()), bytes);
        CMediaSample outSample("out", nullptr, &h, reinterpret_cast<BYTE*>(out.data()), bytes);
        mvsynth::DXiBuffer inBuffer{DWORD(frames), 0, 0, &inSample, 0};
        mvsynth::DXiBuffer outBuffer{DWORD(frames), 0, 1, &outSample, 1};
        const HRESULT r = player.Process(position, &inBuffer, &outBuffer, 1, 0, {});
        if (result) *result = r;
        if (outBuffer.zeroFillPending) std::fill(out.begin(), out.end(), 0.0f);  // as the filter delivers it
        return out;
    }
    // [from, from + frames) of the stream in blocks.
    std::vector<float> Render(LONGLONG from, LONGLONG frames, LONG block = kBlock)
    {
        std::vector<float> all;
        for (LONGLONG at = from; at < from + frames; at += block) {
            const LONG n = LONG(std::min<LONGLONG>(block, from + frames - at));
            std::vector<float> part = Slice(at, n);
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }

    // A clip loaded into the pool under `source`, copied for the player under
    // `id` as a pattern's clip that plays from the song's start for ever.
    CLoopClip* PatternClip(const Bytes& file, DWORD source = 100, DWORD id = 7)
    {
        auto* loaded = new CLoopClip(&player, nullptr);
        EXPECT_EQ(loaded->LoadFromFile("loop", files.Write("clip.wav", file), FloatStereo(), nullptr, false, false),
                  S_OK);
        EXPECT_EQ(pool.Add(loaded, source), S_OK);
        void* clip = nullptr;
        EXPECT_EQ(player.AddClipCopyOf("loop", CLoopClip::kKindPattern, &clip, source, &id), S_OK);
        auto* c = static_cast<CLoopClip*>(clip);
        if (c) c->SetLength(CLoopClip::kOpen, CLoopClip::kUnitFixedTicks);
        player.put_PlayPatternClips(1);
        return c;
    }

    void Metronome()
    {
        player.put_MetronomeMode(1);
        player.put_MetronomeOn(1);
        player.put_Gain(1.0f);
        player.put_MeasurePitch(81);
        player.put_BeatPitch(93);
        player.put_MeasureLevel(100);
        player.put_BeatLevel(110);
        player.put_ClickLength(120);
        ASSERT_EQ(synth.Start(0), S_OK);
    }

    PlayerHost host;
    CLoopClipPool pool;
    CTamblor player;
    HRESULT hr = S_OK;
    mvtest::BareSynth synth{&player, &hr, "Tamblor"};
    TempFiles files;
};

TEST_F(Player, ALoopFollowsAnotherTempoWithEachSliceOnItsBeat)
{
    host.bpm = 100.0;  // the clip's own is 120: it now cycles every 2.4 s
    ASSERT_NE(PatternClip(SpikeLoop()), nullptr);
    ASSERT_EQ(synth.Start(0), S_OK);
    for (LONG block : {512, 441}) {
        const std::vector<float> out = Render(0, 5 * kRate, block);
        std::vector<LONGLONG> expected;
        std::vector<float> heights;
        for (int cycle = 0; cycle < 3; ++cycle)
            for (int k = 0; k < 4; ++k)
                if (LONGLONG at = cycle * 115200LL + k * 28800LL; at < 5 * kRate) {
                    expected.push_back(at);
                    heights.push_back(0.2f * float(k + 1));
                }
        std::vector<LONGLONG> got;
        for (size_t i = 0; i < out.size() / 2; ++i)
            if (std::fabs(out[2 * i]) > 0.01f) got.push_back(LONGLONG(i));
        ExpectWithinOneFrame(got, expected, "slice starts");
        for (size_t i = 0; i < std::min(got.size(), heights.size()); ++i)
            EXPECT_FLOAT_EQ(out[2 * size_t(got[i])], heights[i]) << "slice #" << i << " sounds unchanged";
    }
}

TEST_F(Player, TransposeAndSongKeyShiftThePitch)
{
    CLoopClip* clip = PatternClip(Sine(480.0));
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(synth.Start(0), S_OK);
    struct Case {
        const char* name;
        LONG transpose;
        BOOL followKey;
        LONG rootKey, songKey;
        int semitones;
    } cases[] = {
        {"as recorded", 0, 0, -1, -1, 0},
        {"an octave up stays an octave up", 12, 0, -1, -1, 12},
        {"an octave down", -12, 0, -1, -1, -12},
        {"a fifth up", 7, 0, -1, -1, 7},
        {"song key 7 over root 0 goes 5 down", 0, 1, 0, 7, -5},
        {"song key 6 over root 0 goes 6 down", 0, 1, 0, 6, -6},
        {"song key 5 over root 0 goes 5 up", 0, 1, 0, 5, 5},
        {"an octave up still follows the key", 12, 1, 0, 7, 7},
        {"no song key, no following", 0, 1, 0, -1, 0},
    };
    for (const Case& c : cases) {
        clip->SetTranspose(c.transpose);
        clip->SetFollowKey(c.followKey);
        clip->SetRootKey(c.rootKey);
        host.key = c.songKey;
        const std::vector<float> out = Render(0, kRate / 2);
        EXPECT_NEAR(Frequency(out, 1000, 17000), 480.0 * std::exp2(c.semitones / 12.0),
                    0.03 * 480.0 * std::exp2(c.semitones / 12.0))
            << c.name;
    }
    // The key is asked at the middle of the slice: the last one spans
    // [23552, 24000) of the stream.
    EXPECT_EQ(host.keyAskedAt, std::llround(23776.0 / kRate * 2.0 * CLoopClip::kFixedQuarter));
}

TEST_F(Player, GainScalesAndPanSplitsTheClip)
{
    CLoopClip* clip = PatternClip(Sine(480.0));
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(synth.Start(0), S_OK);
    const std::vector<float> unity = Render(0, 4096);
    struct Case {
        const char* name;
        float gain, pan, left, right;
    } cases[] = {
        {"half gain", 0.5f, 0.5f, 0.5f, 0.5f},
        {"gain above 2 is 2", 3.0f, 0.5f, 2.0f, 2.0f},
        {"hard left", 1.0f, 0.0f, 1.0f, 0.0f},
        {"hard right", 1.0f, 1.0f, 0.0f, 1.0f},
        {"three quarters right", 1.0f, 0.75f, 0.5f, 1.0f},
    };
    for (const Case& c : cases) {
        clip->SetGain(c.gain);
        clip->SetPan(c.pan);
        const std::vector<float> out = Render(0, 4096);
        for (size_t i = 0; i < 4096; ++i) {
            ASSERT_NEAR(out[2 * i], c.left * unity[2 * i], 1e-6) << c.name << " left at " << i;
            ASSERT_NEAR(out[2 * i + 1], c.right * unity[2 * i + 1], 1e-6) << c.name << " right at " << i;
        }
    }
    clip->SetGain(1.0f);
    clip->SetPan(0.5f);
    player.put_PlayPatternClips(0);
    const std::vector<float> off = Render(0, 4096);
    EXPECT_TRUE(std::all_of(off.begin(), off.end(), [](float v) { return v == 0.0f; }))
        << "a pattern's clip is silent while pattern clips are off";
}

TEST_F(Player, MetronomeClicksOnEveryBeatOfTheMeter)
{
    Metronome();
    struct Case {
        const char* name;
        LONG numerator, code;
        LONGLONG beat, measure;
    } cases[] = {
        {"4/4", 4, 2, 24000, 96000},
        {"6/8", 6, 3, 12000, 72000},
        {"3/4", 3, 2, 24000, 72000},
    };
    for (const Case& c : cases) {
        host.meters = {{0, c.numerator, c.code}};
        const std::vector<float> out = Render(0, 2 * c.measure);
        std::vector<LONGLONG> expected;
        for (LONGLONG at = 0; at < 2 * c.measure; at += c.beat) expected.push_back(at);
        const std::vector<LONGLONG> got = Onsets(out);
        ExpectWithinOneFrame(got, expected, c.name);
        // The measure click is the 440 Hz one, the others 880 Hz.
        for (size_t i = 0; i < got.size(); ++i) {
            const double want = LONGLONG(i) * c.beat % c.measure == 0 ? 440.0 : 880.0;
            EXPECT_NEAR(Frequency(out, size_t(got[i]), size_t(got[i]) + 2400), want, 0.1 * want)
                << c.name << " click #" << i;
        }
    }
}

TEST_F(Player, MetronomeFollowsAMeterChangeInsideABlock)
{
    Metronome();
    host.meters = {{0, 4, 2}, {3840, 3, 3}};  // 4/4, then 3/8 from the second measure
    const std::vector<float> out = Render(0, 96000 + 3 * 36000, 1000);
    std::vector<LONGLONG> expected{0, 24000, 48000, 72000};
    for (LONGLONG at = 96000; at < 96000 + 3 * 36000; at += 12000) expected.push_back(at);
    ExpectWithinOneFrame(Onsets(out), expected, "4/4 then 3/8");
}

TEST_F(Player, ClickPitchesAndLevelsFollowTheirLaws)
{
    Metronome();
    player.put_ClickLength(480);
    struct Case {
        const char* name;
        LONG measurePitch, measureLevel, beatPitch, beatLevel;
        double measureHz, measurePeak, beatHz, beatPeak;
    } cases[] = {
        {"A and its octave at full level", 81, 100, 93, 110, 440.0, 1.0, 880.0, 1.0},
        {"an octave down, half level each", 69, 70, 81, 90, 220.0, 0.5, 440.0, 0.5},
        {"level 0 silences the beats", 81, 100, 93, 0, 440.0, 1.0, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        player.put_MeasurePitch(c.measurePitch);
        player.put_MeasureLevel(c.measureLevel);
        player.put_BeatPitch(c.beatPitch);
        player.put_BeatLevel(c.beatLevel);
        const std::vector<float> out = Render(0, 48000);
        const auto peak = [&](size_t from, size_t to) {
            float p = 0.0f;
            for (size_t i = from; i < to; ++i) p = std::max(p, std::fabs(out[2 * i]));
            return double(p);
        };
        EXPECT_NEAR(Frequency(out, 1000, 11000), c.measureHz, 0.02 * c.measureHz) << c.name;
        EXPECT_NEAR(peak(0, 24000), c.measurePeak, 0.01) << c.name;
        EXPECT_NEAR(Frequency(out, 25000, 35000), c.beatHz, 0.02 * c.beatHz + 1) << c.name;
        EXPECT_NEAR(peak(24000, 48000), c.beatPeak, 0.01) << c.name;
        for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]) << c.name << ": both sides alike";
    }
    player.put_Gain(0.5f);
    player.put_MeasureLevel(100);
    const std::vector<float> half = Render(0, 24000);
    float p = 0.0f;
    for (size_t i = 0; i < half.size(); i += 2) p = std::max(p, std::fabs(half[i]));
    EXPECT_NEAR(p, 0.5, 0.01) << "the master gain scales the clicks";
}

TEST_F(Player, CountInClicksInTimeAndTheSongStartsOnItsBeat)
{
    Metronome();
    // Two beats of count-in from the start of the third beat of measure 2:
    // the stream runs on from the play position, then the host puts the
    // sample counter back to it.
    const LONGLONG play = 96000 + 2 * 24000;
    std::vector<float> out = Render(play, 2 * 24000);
    std::vector<float> song = Render(play, 2 * 24000 + 96000);
    out.insert(out.end(), song.begin(), song.end());
    const std::vector<LONGLONG> got = Onsets(out);
    ExpectWithinOneFrame(got, {0, 24000, 48000, 72000, 96000, 120000, 144000, 168000}, "count-in then song");
    const double hz[] = {880, 880, 880, 880, 440, 880, 880, 880};
    for (size_t i = 0; i < std::min<size_t>(got.size(), 8); ++i)
        EXPECT_NEAR(Frequency(out, size_t(got[i]), size_t(got[i]) + 2400), hz[i], 0.1 * hz[i]) << "click #" << i;

    ASSERT_EQ(synth.Stop(), S_OK);
    const std::vector<float> stopped = Render(0, 48000);
    EXPECT_TRUE(std::all_of(stopped.begin(), stopped.end(), [](float v) { return v == 0.0f; }))
        << "no clicks while the host is stopped";
}

TEST_F(Player, LoadedClickSoundsPlayOnTheirBeats)
{
    Metronome();
    const std::string click = files.Write("click.wav", Click());
    LONG reason = -1;
    // The host's metronome hands both waves over through one slot, by name.
    ASSERT_EQ(player.LoadMeasureSound("First", click.c_str(), &reason), S_OK);
    ASSERT_EQ(player.LoadMeasureSound("Other", click.c_str(), &reason), S_OK);
    EXPECT_EQ(player.BeatVoice()->GetSliceCount(), CTamblor::kBeatMarkers) << "the other beats' wave is the beat voice";
    player.put_MeasureSynth(0);
    player.put_BeatSynth(0);
    player.put_BeatLevel(90);
    const std::vector<float> out = Render(0, 2 * 96000);
    std::vector<LONGLONG> got;
    for (size_t i = 0; i < out.size() / 2; ++i)
        if (out[2 * i] != 0.0f) got.push_back(LONGLONG(i));
    ExpectWithinOneFrame(got, {0, 24000, 48000, 72000, 96000, 120000, 144000, 168000}, "wave clicks");
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(out[2 * size_t(got[i])], i % 4 == 0 ? 1.0f : 0.5f, 1e-6) << "click #" << i;

    // A voice whose wave could not be loaded still clicks, with the tone.
    ASSERT_EQ(player.Initialize(), S_OK);
    player.put_MeasureSynth(0);
    EXPECT_EQ(player.LoadMeasureSound("First", "", &reason), E_INVALIDARG);
    EXPECT_EQ(player.LoadMeasureSound("First", "/nonexistent.wav", &reason), E_FAIL);
    EXPECT_EQ(Onsets(Render(0, 96000)).size(), 4u);
}

TEST_F(Player, MetronomeModeMixesTheInputThrough)
{
    std::vector<float> input(2 * 256);
    for (size_t i = 0; i < input.size(); ++i) input[i] = float(i) / 1024.0f;
    EXPECT_EQ(Slice(0, 256, &input), std::vector<float>(input.size(), 0.0f)) << "outside metronome mode";
    player.put_MetronomeMode(1);
    EXPECT_EQ(Slice(0, 256, &input), input) << "copied while stopped";
    HRESULT r = S_OK;
    HRESULT h = S_OK;
    std::vector<float> out(512, 5.0f);
    CMediaSample outSample("out", nullptr, &h, reinterpret_cast<BYTE*>(out.data()), 2048);
    mvsynth::DXiBuffer outBuffer{256, 0, 1, &outSample, 1};
    r = player.Process(0, nullptr, &outBuffer, 1, 0, {});
    EXPECT_EQ(r, S_FALSE) << "no input: the player has no tail";
    EXPECT_EQ(out, std::vector<float>(512, 5.0f)) << "and writes nothing";
}

TEST_F(Player, NotesLeaveTheActiveListWithTheirSlice)
{
    ASSERT_EQ(synth.Start(0), S_OK);
    mvtest::FakeEventQueue queue;
    for (LONG t = 0; t < 3000; ++t) queue.AddNote(t, 0, BYTE(36 + t % 48), 100, 960);
    ASSERT_EQ(synth.SendEvents(0, 3000, 1, &queue), S_OK);
    size_t most = 0;
    for (LONGLONG at = 0; at < 2 * kRate; at += kBlock) {
        ASSERT_EQ(synth.PrepareSlice(kBlock), S_OK);
        most = std::max(most, synth.ActiveEvents().size());
        Slice(at, kBlock);
        synth.AdvanceRendered(kBlock);
        ASSERT_EQ(synth.DispatchActive(false), S_OK);
    }
    EXPECT_LE(most, 21u) << "no more than one slice's notes (20.48 a slice) at a time";
    EXPECT_TRUE(synth.ActiveEvents().empty());
    EXPECT_EQ(synth.DroppedCount(), 0u);
}

TEST_F(Player, ClipRegistrationAnswers)
{
    auto* loaded = new CLoopClip(&player, nullptr);
    ASSERT_EQ(loaded->LoadFromFile("loop", files.Write("c.wav", Sine(480)), FloatStereo(), nullptr, false, false),
              S_OK);
    ASSERT_EQ(pool.Add(loaded, 1), S_OK);
    EXPECT_EQ(player.RegisterClip(2), E_FAIL) << "not in the pool";
    EXPECT_EQ(player.RegisterClip(1), S_OK);
    EXPECT_EQ(player.RegisterClip(1), S_FALSE);
    EXPECT_EQ(loaded->AddRef(), 3u) << "one reference for the pool and one for the player";
    loaded->Release();
    EXPECT_EQ(player.UnregisterClip(9), S_FALSE);
    EXPECT_EQ(player.UnregisterClip(1), S_OK);
    EXPECT_EQ(pool.Find(1), loaded) << "the pool keeps its entry";
    EXPECT_EQ(loaded->AddRef(), 2u) << "the player's reference went back through the pool";
    loaded->Release();
    EXPECT_EQ(player.RegisteredCount(), 0u);

    void* clip = nullptr;
    DWORD id = 5;
    EXPECT_EQ(player.AddClipCopyOf("x", 1, &clip, 77, &id), E_FAIL) << "no such source";
    EXPECT_EQ(player.AddClipCopy("x", 1, &clip, nullptr, nullptr), E_INVALIDARG) << "no id pointer";
    player.put_ClipPool(nullptr);
    EXPECT_EQ(player.RegisterClip(1), E_FAIL);
    EXPECT_EQ(player.UnregisterClip(1), E_FAIL);
    EXPECT_EQ(player.AddClipCopy("x", 1, &clip, nullptr, &id), E_FAIL);
}

TEST_F(Player, LinkedAndPreviewClipsPlay)
{
    auto* source = new CLoopClip(&player, nullptr);
    ASSERT_EQ(source->LoadFromFile("loop", files.Write("s.wav", Sine(480)), FloatStereo(), nullptr, false, false),
              S_OK);
    ASSERT_EQ(pool.Add(source, 1), S_OK);
    void* clip = nullptr;
    DWORD id = 2;
    ASSERT_EQ(player.AddLinkedClip("linked", CLoopClip::kKindPreview, &clip, source, &id), S_OK);
    auto* linked = static_cast<CLoopClip*>(clip);
    EXPECT_EQ(linked->GetLinkSource(), source);
    EXPECT_EQ(linked->GetHost(), &player);
    EXPECT_EQ(linked->GetKind(), CLoopClip::kKindPreview);
    linked->SetLength(CLoopClip::kOpen, CLoopClip::kUnitFixedTicks);
    ASSERT_EQ(synth.Start(0), S_OK);
    EXPECT_EQ(Onsets(Render(0, 4096)).size(), 0u) << "preview clips off";
    player.put_PlayPreviewClips(1);
    EXPECT_NEAR(Frequency(Render(0, 12000), 0, 12000), 480.0, 10.0);
    player.put_PlayPreviewClips(0);

    const std::string path = files.Write("p.wav", Sine(960));
    ASSERT_EQ(player.AddPreviewFile(path.c_str()), S_OK);
    ASSERT_EQ(player.StartPreview(), S_OK);
    ASSERT_EQ(player.StartPreview(), S_OK) << "the same file again reuses its clip";
    EXPECT_EQ(player.PreviewCount(), 1u);
    player.put_PlayPreviewClips(1);
    player.UnregisterClip(2);
    EXPECT_NEAR(Frequency(Render(0, 12000), 0, 12000), 960.0, 10.0);
    ASSERT_EQ(player.AddPreviewFile("/nonexistent.wav"), S_OK);
    EXPECT_EQ(player.StartPreview(), E_FAIL) << "a file that cannot load keeps the old previews";
    EXPECT_EQ(player.PreviewCount(), 1u);
    ASSERT_EQ(player.StopPreview(), S_OK);
    EXPECT_EQ(player.PreviewCount(), 0u);
    const std::vector<float> silent = Render(0, 4096);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](float v) { return v == 0.0f; }));
}

TEST_F(Player, SettersKeepTheirRanges)
{
    LONG v = -1;
    float g = -1.0f;
    player.put_Gain(3.0f);
    player.get_Gain(&g);
    EXPECT_EQ(g, 2.0f);
    player.put_Gain(-1.0f);
    player.get_Gain(&g);
    EXPECT_EQ(g, 0.0f);
    player.put_ClickLength(-5);
    player.get_ClickLength(&v);
    EXPECT_EQ(v, 0);
    player.put_ClickLength(60);
    player.get_ClickLength(&v);
    EXPECT_EQ(v, 60);
    EXPECT_EQ(player.put_MeasureSynth(2), S_OK);
    player.get_MeasureSynth(&v);
    EXPECT_EQ(v, 1) << "out-of-range switch ignored";
    player.put_BeatSynth(0);
    player.get_BeatSynth(&v);
    EXPECT_EQ(v, 0);
    player.get_IsClicking(&v);
    EXPECT_EQ(v, 0);
    player.put_MetronomeOn(1);
    ASSERT_EQ(synth.Start(0), S_OK);
    player.get_IsClicking(&v);
    EXPECT_EQ(v, 1);
}

TEST_F(Player, StateIsTheOneParameterInTwelveBytes)
{
    EXPECT_EQ(player.GetStateSize(), 12u);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(player.SaveState(stream), S_OK);
    STATSTG stat{};
    stream->Stat(&stat, 0);
    EXPECT_EQ(stat.cbSize.QuadPart, 12u);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(player.LoadState(stream), S_OK);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER eight{};
    eight.QuadPart = 8;
    stream->SetSize(eight);
    EXPECT_EQ(player.LoadState(stream), E_FAIL) << "a short read";
    stream->Release();
}

}  // namespace
