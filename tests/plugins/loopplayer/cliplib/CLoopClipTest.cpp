#include "plugins/loopplayer/cliplib/CLoopClip.h"

#include <gtest/gtest.h>

#include <cmath>

#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/CClipSlice.h"
#include "plugins/loopplayer/cliplib/ILoopClipPool.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"
#include "tests/plugins/loopplayer/cliplib/ClipHostFake.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

namespace {

constexpr LONGLONG kQuarter = CLoopClip::kFixedQuarter;

class FakePool : public ILoopClipPool {
public:
    void ClipDestroyed(CLoopClip* clip) override { destroyed.push_back(clip); }
    std::vector<CLoopClip*> destroyed;
};

// Mono 16-bit frames, silent but for a click at the first frame of each
// slice: slice k clicks at (k + 1) * 1000.
Bytes ClickData(int frames, const std::vector<int>& starts)
{
    std::vector<std::int16_t> s(size_t(frames), 0);
    for (size_t k = 0; k < starts.size(); ++k) s[size_t(starts[k])] = std::int16_t((k + 1) * 1000);
    Bytes b;
    for (auto v : s) PutLe(b, std::uint16_t(v), 2);
    return b;
}

// A sliced loop: frames at rate, beats, a slice at every start.
Bytes SlicedLoop(int rate, int frames, int beats, const std::vector<int>& starts, std::uint32_t acidFlags = 0,
                 int root = 60)
{
    std::vector<StrcRecord> records;
    for (int s : starts)
        if (s) records.push_back({0, std::uint32_t(s), 1});
    return Wave(Concat({Chunk("fmt ", Fmt(1, 1, rate, 16)), Chunk("data", ClickData(frames, starts)),
                        Chunk("acid", Acid(acidFlags, root, std::uint32_t(beats), 120.0f)),
                        Chunk("strc", Strc(records))}));
}

Bytes Plain(int rate, int channels, int bits, int frames, int tag = 1)
{
    Bytes data(size_t(frames) * channels * (bits / 8), 0);
    return Wave(Concat({Chunk("fmt ", Fmt(tag, channels, rate, bits)), Chunk("data", data)}));
}

// Renders a clip over [0, total) in blocks into a stereo buffer.
std::vector<float> RenderStereo(CLoopClip& clip, LONG rate, LONGLONG total, LONG block, LONG songKey = -1)
{
    std::vector<float> out(size_t(total) * 2, 0.0f);
    WAVEFORMATEX f = FloatFormat(DWORD(rate), 2);
    for (LONGLONG at = 0; at < total; at += block) {
        LONG n = LONG(std::min<LONGLONG>(block, total - at));
        clip.RenderMix(out.data() + size_t(at) * 2, f, songKey, at, n);
    }
    return out;
}

// Frames whose left sample is above a level.
std::vector<LONGLONG> Clicks(const std::vector<float>& stereo, float level)
{
    std::vector<LONGLONG> at;
    for (size_t i = 0; i < stereo.size() / 2; ++i)
        if (std::fabs(stereo[2 * i]) > level) at.push_back(LONGLONG(i));
    return at;
}

}  // namespace

TEST(CLoopClip, SlicesSoundOnTheirBeatsAtTheSongsTempo)
{
    // A 2-second loop of 4 beats (120 BPM of its own), a slice a beat, played
    // at 100 and at 150 BPM: each cycle lasts 4 beats of the song (2.4 s at
    // 100 BPM) and each slice starts on its beat.
    TempFiles files;
    const int rate = 44100;
    std::string path = files.Write("loop.wav", SlicedLoop(rate, 2 * rate, 4, {0, 22050, 44100, 66150}));
    struct Case {
        const char* name;
        double bpm;
        bool keepLengths;
    } cases[] = {
        {"100 BPM, slices stretched", 100, false},
        {"100 BPM, slices keep their lengths", 100, true},
        {"150 BPM, slices shortened", 150, false},
        {"150 BPM, slices keep their lengths", 150, true},
    };
    for (auto& c : cases) {
        FakeHost host(c.bpm, rate);
        CLoopClip* clip = new CLoopClip(&host, nullptr);
        int reason = 0;
        ASSERT_EQ(clip->LoadFromFile("loop", path, FloatFormat(rate, 2), &reason, false, false), S_OK) << c.name;
        EXPECT_NEAR(clip->GetTempo(), 120.0, 1e-9);
        EXPECT_EQ(clip->GetLoopLength(CLoopClip::kUnitTicks), 4 * 960);
        clip->SetKeepSliceLengths(c.keepLengths);
        const double beatSeconds = 60.0 / c.bpm;
        const LONGLONG total = std::llround(3 * 4 * beatSeconds * rate);
        auto out = RenderStereo(*clip, rate, total, 512);
        auto clicks = Clicks(out, 0.01f);
        ASSERT_EQ(clicks.size(), 12u) << c.name << ::testing::PrintToString(clicks);
        for (size_t n = 0; n < clicks.size(); ++n) {
            double expected = double(n) * beatSeconds * rate;  // beat n of the song
            EXPECT_NEAR(double(clicks[n]), expected, 1.0) << c.name << " beat " << n;
            float level = float((n % 4) + 1) * 1000.0f / 32768.0f;
            EXPECT_NEAR(out[size_t(clicks[n]) * 2], level, 1e-6) << c.name << " slice " << n % 4;
        }
        clip->Release();
    }
}

TEST(CLoopClip, BlockSizeDoesNotMoveTheSlices)
{
    TempFiles files;
    const int rate = 48000;
    std::string path = files.Write("loop.wav", SlicedLoop(rate, rate, 2, {0, 24000}));
    FakeHost host(97, rate);
    CLoopClip* clip = new CLoopClip(&host, nullptr);
    ASSERT_EQ(clip->LoadFromFile("loop", path, FloatFormat(rate, 2), nullptr, false, false), S_OK);
    auto a = RenderStereo(*clip, rate, 3 * rate, 64);
    auto b = RenderStereo(*clip, rate, 3 * rate, 4096);
    auto c = RenderStereo(*clip, rate, 3 * rate, 1000);
    EXPECT_EQ(Clicks(a, 0.01f), Clicks(b, 0.01f));
    EXPECT_EQ(Clicks(a, 0.01f), Clicks(c, 0.01f));
    clip->Release();
}

TEST(CLoopClip, AWindowStartingInsideATickStillHearsTheSliceEndingThere)
{
    // A host that answers samples in whole ticks (23 samples a tick here):
    // a block starting 3 frames before the second slice starts, in ticks, at
    // that slice's first tick, yet its first 3 frames are still the first
    // slice's end. A steady level through both slices shows any frame left
    // out.
    class WholeTickHost : public FakeHost {
    public:
        using FakeHost::FakeHost;
        LONGLONG SamplesToFixedTicks(LONGLONG samples) override
        {
            return (FakeHost::SamplesToFixedTicks(samples) + (1 << 15)) >> 16 << 16;
        }
    };
    TempFiles files;
    const int rate = 44100;
    Bytes level;
    for (int i = 0; i < 2 * rate; ++i) PutLe(level, 16384, 2);
    std::vector<StrcRecord> records = {{0, 22050, 1}, {0, 44100, 1}, {0, 66150, 1}};
    std::string path = files.Write("level.wav", Wave(Concat({Chunk("fmt ", Fmt(1, 1, rate, 16)), Chunk("data", level),
                                                            Chunk("acid", Acid(0, 60, 4, 120.0f)),
                                                            Chunk("strc", Strc(records))})));
    WholeTickHost host(120, rate);
    CLoopClip* clip = new CLoopClip(&host, nullptr);
    ASSERT_EQ(clip->LoadFromFile("level", path, FloatFormat(rate, 2), nullptr, false, false), S_OK);
    ASSERT_EQ(host.SamplesToFixedTicks(22047), kQuarter) << "the block starts on the slice's tick";
    std::vector<float> out(80, 0.0f);
    EXPECT_EQ(clip->RenderMix(out.data(), FloatFormat(rate, 2), -1, 22047, 40), S_OK);
    for (size_t i = 0; i < 40; ++i) EXPECT_NEAR(out[2 * i], 0.5f, 1e-6) << "frame " << i;
    clip->Release();
}

TEST(CLoopClip, LoadsEveryFormatToExactFloats)
{
    struct Case {
        const char* name;
        int tag, channels, bits;
        Bytes data;
        std::vector<float> expected;
    } cases[] = {
        {"8-bit mono", 1, 1, 8, {0, 128, 255, 192}, {-1.0f, 0.0f, 0.9921875f, 0.5f}},
        {"8-bit stereo", 1, 2, 8, {0, 255, 128, 64}, {-1.0f, 0.9921875f, 0.0f, -0.5f}},
        {"16-bit mono", 1, 1, 16, {0x00, 0x80, 0xFF, 0x7F, 0x00, 0x40}, {-1.0f, 32767.0f / 32768, 0.5f}},
        {"16-bit stereo", 1, 2, 16, {0x00, 0xC0, 0x00, 0x40}, {-0.5f, 0.5f}},
        {"24-bit mono", 1, 1, 24, {0x00, 0x00, 0x80, 0x00, 0x00, 0x40}, {-1.0f, 0.5f}},
        {"24-bit stereo", 1, 2, 24, {0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00}, {-1.0f / 8388608, 1.0f / 8388608}},
        {"32-bit float mono", 3, 1, 32, [] {
             Bytes b;
             PutFloat(b, 0.25f);
             PutFloat(b, -2.0f);
             return b;
         }(), {0.25f, -2.0f}},
        {"32-bit float stereo", 3, 2, 32, [] {
             Bytes b;
             PutFloat(b, 0.125f);
             PutFloat(b, -0.75f);
             return b;
         }(), {0.125f, -0.75f}},
    };
    TempFiles files;
    FakeHost host(120, 44100);
    for (auto& c : cases) {
        Bytes wav = Wave(Concat({Chunk("fmt ", Fmt(c.tag, c.channels, 44100, c.bits)), Chunk("data", c.data)}));
        CLoopClip* clip = new CLoopClip(&host, nullptr);
        ASSERT_EQ(clip->LoadFromFile("x", files.Write("f.wav", wav), FloatFormat(44100, 2), nullptr, false, false),
                  S_OK)
            << c.name;
        const CClipAudio* audio = clip->GetAudio();
        ASSERT_EQ(audio->GetChannels(), c.channels) << c.name;
        ASSERT_EQ(size_t(audio->GetFrames()) * c.channels, c.expected.size()) << c.name;
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(audio->GetSamples()[i], c.expected[i]) << c.name << " [" << i << "]";
        // The guard frame repeats the last.
        for (int ch = 0; ch < c.channels; ++ch)
            EXPECT_EQ(audio->GetSamples()[c.expected.size() + ch], c.expected[c.expected.size() - c.channels + ch]);
        WAVEFORMATEX f;
        ASSERT_EQ(clip->GetFormat(&f), S_OK);
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
        clip->Release();
    }
}

TEST(CLoopClip, RefusesWhatItCannotLoad)
{
    TempFiles files;
    FakeHost host(120, 8000);
    struct Case {
        const char* name;
        Bytes file;
        bool truncate;
        HRESULT hr;
        int reason;
    } cases[] = {
        {"32-bit integer samples", Plain(8000, 1, 32, 10), false, E_FAIL, 0},
        {"a compressed format", Plain(8000, 1, 16, 10, 2), false, E_FAIL, 0},
        {"a rate no sound card plays", Plain(4000000, 1, 16, 10), false, E_FAIL, 0},
        {"300 beats", SlicedLoop(8000, 8000, 300, {0, 4000}), false, E_UNEXPECTED, CLoopClip::kReasonTooManyBeats},
        {"61 seconds, sliced", SlicedLoop(8000, 61 * 8000, 4, {0, 4000}), true, E_UNEXPECTED,
         CLoopClip::kReasonTooLong},
        {"61 seconds", Plain(8000, 1, 8, 61 * 8000), false, E_UNEXPECTED, CLoopClip::kReasonTooLong},
        {"not a WAV file", Bytes{'n', 'o', 'p', 'e'}, false, E_FAIL, 0},
    };
    for (auto& c : cases) {
        CLoopClip* clip = new CLoopClip(&host, nullptr);
        int reason = -1;
        EXPECT_EQ(clip->LoadFromFile("x", files.Write("f.wav", c.file), FloatFormat(8000, 2), &reason, false,
                                     c.truncate),
                  c.hr)
            << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
        EXPECT_TRUE(clip->HasNoSlices()) << c.name;
        EXPECT_EQ(clip->GetAudio(), nullptr) << c.name;
        EXPECT_EQ(clip->GetName(), "") << c.name;
        clip->Release();
    }
}

TEST(CLoopClip, UnslicedLoopsTakeAPowerOfTwoQuarters)
{
    struct Case {
        const char* name;
        int frames;
        bool truncate;
        LONGLONG quarters;
        LONG loadedFrames;
    } cases[] = {
        {"3 seconds: 2^round(log2 6) = 8", 3 * 8000, false, 8, 3 * 8000},
        {"0.3 seconds: at least 1", 2400, false, 1, 2400},
        {"2 seconds: 4", 2 * 8000, false, 4, 2 * 8000},
        {"61 seconds truncated to 60: 128", 61 * 8000, true, 128, 60 * 8000},
    };
    TempFiles files;
    FakeHost host(120, 8000);
    for (auto& c : cases) {
        CLoopClip* clip = new CLoopClip(&host, nullptr);
        ASSERT_EQ(clip->LoadFromFile("x", files.Write("f.wav", Plain(8000, 1, 8, c.frames)), FloatFormat(8000, 2),
                                     nullptr, false, c.truncate),
                  S_OK)
            << c.name;
        EXPECT_EQ(clip->GetLoopLength(CLoopClip::kUnitFixedTicks), c.quarters * kQuarter) << c.name;
        EXPECT_EQ(clip->GetLoopLength(CLoopClip::kUnitSamples), c.loadedFrames) << c.name;
        EXPECT_EQ(clip->GetSampleLength(), c.loadedFrames) << c.name;
        EXPECT_FALSE(clip->GetLooping());
        EXPECT_FALSE(clip->GetFollowTempo());
        clip->Release();
    }
}

TEST(CLoopClip, SlicedFileSetsLoopingTempoAndKey)
{
    TempFiles files;
    FakeHost host(120, 8000);
    CLoopClip* clip = new CLoopClip(&host, nullptr);
    // Root note 60 with its flag (bit 1).
    ASSERT_EQ(clip->LoadFromFile("x", files.Write("f.wav", SlicedLoop(8000, 8000, 2, {0, 4000}, 2, 60)),
                                 FloatFormat(8000, 2), nullptr, false, false),
              S_OK);
    EXPECT_TRUE(clip->GetLooping());
    EXPECT_TRUE(clip->GetFollowTempo());
    EXPECT_TRUE(clip->GetFollowKey());
    EXPECT_EQ(clip->GetRootKey(), (60 + 3) % 12);
    ASSERT_EQ(clip->GetSliceCount(), 2);
    EXPECT_EQ(clip->GetSlice(1)->GetStart(CClipSlice::kUnitFixedTicks), kQuarter);
    EXPECT_EQ(clip->GetSlice(1)->GetStart(CClipSlice::kUnitSamples), 4000);
    clip->Release();

    // noSlices loads the same file as one slice.
    CLoopClip* whole = new CLoopClip(&host, nullptr);
    ASSERT_EQ(whole->LoadFromFile("x", files.Write("g.wav", SlicedLoop(8000, 8000, 2, {0, 4000})),
                                  FloatFormat(8000, 2), nullptr, true, false),
              S_OK);
    EXPECT_EQ(whole->GetSliceCount(), 1);
    whole->Release();
}

TEST(CLoopClip, StreamRateMovesTheSlicesWithTheSamples)
{
    TempFiles files;
    FakeHost host(120, 44100);
    CLoopClip* clip = new CLoopClip(&host, nullptr);
    ASSERT_EQ(clip->LoadFromFile("x", files.Write("f.wav", SlicedLoop(22050, 22050, 2, {0, 11025})),
                                 FloatFormat(44100, 2), nullptr, false, false),
              S_OK);
    EXPECT_EQ(clip->GetAudio()->GetSampleRate(), 44100u);
    EXPECT_EQ(clip->GetSampleLength(), 44100);
    EXPECT_EQ(clip->GetSlice(1)->GetStart(CClipSlice::kUnitSamples), 22050);
    EXPECT_EQ(clip->GetSlice(1)->GetLength(CClipSlice::kUnitSamples), 22050);
    EXPECT_EQ(clip->GetLoopLength(CLoopClip::kUnitSamples), 44100);
    EXPECT_NEAR(clip->GetTempo(), 120.0, 1e-9);
    EXPECT_EQ(clip->SetFormat(FloatFormat(44100, 2)), S_FALSE) << "nothing changes";
    clip->Release();
}

TEST(CLoopClip, SettersKeepTheirRanges)
{
    CLoopClip* clip = new CLoopClip(nullptr, nullptr);
    clip->SetGain(3.0f);
    EXPECT_EQ(clip->GetGain(), 2.0f);
    clip->SetGain(-1.0f);
    EXPECT_EQ(clip->GetGain(), 0.0f);
    clip->SetPan(1.5f);
    EXPECT_EQ(clip->GetPan(), 1.0f);
    clip->SetTranspose(30);
    EXPECT_EQ(clip->GetTranspose(), 0);
    clip->SetTranspose(-24);
    EXPECT_EQ(clip->GetTranspose(), -24);
    clip->SetRootKey(128);
    EXPECT_EQ(clip->GetRootKey(), -1);
    clip->SetStart(3, CLoopClip::kUnitTicks);
    EXPECT_EQ(clip->GetStart(CLoopClip::kUnitFixedTicks), 3 << 16);
    clip->SetStart(-5, CLoopClip::kUnitTicks);
    EXPECT_EQ(clip->GetStart(CLoopClip::kUnitTicks), 3);
    EXPECT_EQ(clip->GetEnd(CLoopClip::kUnitTicks), CLoopClip::kOpen);
    clip->SetEnd(10, CLoopClip::kUnitTicks);
    EXPECT_EQ(clip->GetLength(CLoopClip::kUnitTicks), 7);
    clip->SetLength(CLoopClip::kOpen, CLoopClip::kUnitTicks);
    EXPECT_EQ(clip->GetLength(CLoopClip::kUnitFixedTicks), CLoopClip::kOpen);
    clip->Release();
}

TEST(CLoopClip, OnlyTheKeyDifferenceWraps)
{
    CLoopClip* clip = new CLoopClip(nullptr, nullptr);
    CClipSlice slice;
    clip->SetFollowKey(1);
    clip->SetRootKey(0);
    struct Case {
        const char* name;
        LONG clipTranspose, sliceTranspose, songKey;
        int shift;
    } cases[] = {
        {"song key 7 is 5 down", 0, 0, 7, -5},
        {"song key 6 is 6 down", 0, 0, 6, -6},
        {"song key 5 is 5 up", 0, 0, 5, 5},
        {"an octave up stays an octave up", 12, 0, 0, 12},
        {"an octave up in key 7", 12, 0, 7, 7},
        {"two octaves down and a slice up", -24, 1, -1, -23},
        {"no song key", 3, 0, -1, 3},
    };
    for (auto& c : cases) {
        clip->SetTranspose(c.clipTranspose);
        slice.SetTranspose(c.sliceTranspose);
        EXPECT_EQ(clip->ShiftFor(slice, c.songKey), c.shift) << c.name;
    }
    clip->SetFollowKey(0);
    clip->SetTranspose(0);
    slice.SetTranspose(1);
    EXPECT_EQ(clip->ShiftFor(slice, 7), 1) << "without key following the song key is ignored";
    clip->Release();
}

TEST(CLoopClip, RendersOnlyWhatItShould)
{
    TempFiles files;
    const int rate = 8000;
    FakeHost host(120, rate);
    CLoopClip* clip = new CLoopClip(&host, nullptr);
    ASSERT_EQ(clip->LoadFromFile("x", files.Write("f.wav", SlicedLoop(rate, rate, 2, {0, 4000})),
                                 FloatFormat(rate, 2), nullptr, false, false),
              S_OK);
    std::vector<float> out(512, 0.0f);
    WAVEFORMATEX pcm = FloatFormat(rate, 2);
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(clip->RenderMix(out.data(), pcm, -1, 0, 256), E_INVALIDARG);

    clip->SetMute(1);
    EXPECT_EQ(clip->RenderMix(out.data(), FloatFormat(rate, 2), -1, 0, 256), S_FALSE);
    EXPECT_EQ(out[0], 0.0f);
    clip->SetMute(0);

    // Not looping: the first cycle only (clicks at 0 and 4000 at the clip's own tempo).
    clip->SetLooping(0);
    auto once = Clicks(RenderStereo(*clip, rate, 3 * rate, 256), 0.01f);
    EXPECT_EQ(once, (std::vector<LONGLONG>{0, 4000}));
    clip->SetLooping(1);
    auto looped = Clicks(RenderStereo(*clip, rate, 3 * rate, 256), 0.01f);
    EXPECT_EQ(looped, (std::vector<LONGLONG>{0, 4000, 8000, 12000, 16000, 20000}));

    // Start and length cut the clip: from beat 1 for 2 beats.
    clip->SetStart(960, CLoopClip::kUnitTicks);
    clip->SetLength(2 * 960, CLoopClip::kUnitTicks);
    auto cut = Clicks(RenderStereo(*clip, rate, 3 * rate, 256), 0.01f);
    EXPECT_EQ(cut, (std::vector<LONGLONG>{4000, 8000}));
    clip->Release();
}

TEST(CLoopClip, CopiesShareTheStoreAndTheLastReleaseTellsThePool)
{
    TempFiles files;
    FakeHost host(120, 8000);
    FakePool pool;
    CLoopClip* clip = new CLoopClip(&host, &pool);
    ASSERT_EQ(clip->LoadFromFile("x", files.Write("f.wav", SlicedLoop(8000, 8000, 2, {0, 4000})),
                                 FloatFormat(8000, 2), nullptr, false, false),
              S_OK);
    CLoopClip* copy = new CLoopClip(*clip, true);
    EXPECT_EQ(copy->GetAudio(), clip->GetAudio());
    EXPECT_EQ(copy->GetSliceCount(), 2);
    EXPECT_NE(copy->GetSlice(0), clip->GetSlice(0));

    CLoopClip* linked = new CLoopClip(*clip, false);
    linked->SetLinkSource(clip);
    EXPECT_TRUE(linked->IsLinked());
    EXPECT_EQ(linked->GetAudio(), clip->GetAudio());
    EXPECT_EQ(linked->GetSliceCount(), 2);

    EXPECT_EQ(clip->Release(), 1u) << "the linked clip holds its source";
    EXPECT_TRUE(pool.destroyed.empty());
    linked->Release();
    EXPECT_EQ(pool.destroyed.size(), 2u) << "the linked clip, then its source";
    // The copy still plays the shared store.
    auto clicks = Clicks(RenderStereo(*copy, 8000, 8000, 512), 0.01f);
    EXPECT_EQ(clicks, (std::vector<LONGLONG>{0, 4000}));
    copy->Release();
    EXPECT_EQ(pool.destroyed.size(), 3u);
}
