#include "plugins/loopplayer/cliplib/CClipState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/CClipSlice.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"
#include "tests/plugins/loopplayer/cliplib/ClipHostFake.h"
#include "tests/plugins/loopplayer/cliplib/StateStream.h"

namespace {

constexpr LONGLONG kQuarter = CLoopClip::kFixedQuarter;
constexpr size_t kInfo = CClipState::kInfoBytes, kId = CClipState::kIdBytes;
constexpr size_t kHeader = CClipState::kStoreHeaderBytes, kSlice = CClipState::kSliceBytes;

Bytes Saved(const CLoopClip& clip, BOOL withData)
{
    HRESULT hr = E_FAIL;
    Bytes b = SavedBytes([&](IStream* s) { return clip.SaveProjectState(s, withData); }, &hr);
    EXPECT_EQ(S_OK, hr);
    return b;
}

HRESULT Load(CLoopClip& clip, const Bytes& b, ULONGLONG* consumed = nullptr)
{
    return LoadFromBytes(b, [&](IStream* s) { return clip.LoadProjectState(s); }, consumed);
}

std::vector<float> Render(CLoopClip& clip, LONG rate, LONGLONG total)
{
    std::vector<float> out(size_t(total) * 2, 0.0f);
    const WAVEFORMATEX f = FloatFormat(DWORD(rate), 2);
    for (LONGLONG at = 0; at < total; at += 512)
        clip.RenderMix(out.data() + size_t(at) * 2, f, -1, at, LONG(std::min<LONGLONG>(512, total - at)));
    return out;
}

float Peak(const std::vector<float>& v)
{
    float p = 0;
    for (float x : v) p = std::max(p, std::fabs(x));
    return p;
}

// A one-second, two-beat float stereo loop of four slices, read at 44.1 kHz
// and played at 48 kHz, so the state carries a store whose rendering data
// was resampled.
struct LoopFixture : ::testing::Test {
    static constexpr int kFileRate = 44100;
    static constexpr LONG kStreamRate = 48000;
    TempFiles files;
    std::string path = files.Write("loop.wav", FloatStereoLoop(kFileRate, kFileRate, 2, {0, 11025, 22050, 33075}));
    FakeHost host{100, kStreamRate};

    CLoopClip* LoadedClip()
    {
        auto* clip = new CLoopClip(&host, nullptr);
        int reason = -1;
        EXPECT_EQ(S_OK, clip->LoadFromFile("groove", path, FloatFormat(kStreamRate, 2), &reason, false, false));
        clip->SetId(0x1234);
        clip->SetGain(0.8f);
        clip->SetPan(0.3f);
        clip->SetTranspose(3);
        return clip;
    }
};

}  // namespace

TEST_F(LoopFixture, AStateSavedLoadedAndSavedAgainIsByteIdenticalAndSoundsTheSame)
{
    CLoopClip* original = LoadedClip();
    const Bytes first = Saved(*original, TRUE);

    // A stereo store of n frames with 500 overview points: (n + 1) x 8 data
    // bytes and 2000 words of overview; the header's byte count is 0.
    const size_t texts = 4 + 6 + 4 + path.size();
    const size_t store = kHeader + (kFileRate + 1) * 8 + 2000 * 4;
    ASSERT_EQ(kInfo + kId + texts + 4 + store + 4 + 4 * kSlice, first.size());
    const size_t flagAt = kInfo + kId + texts;
    EXPECT_EQ(1u, Peek<DWORD>(first, flagAt));
    EXPECT_EQ(3, Peek<WORD>(first, flagAt + 4)) << "IEEE float";
    EXPECT_EQ(DWORD(kFileRate), Peek<DWORD>(first, flagAt + 4 + 4)) << "the as-loaded rate";
    EXPECT_EQ(DWORD(kFileRate), Peek<DWORD>(first, flagAt + 4 + 20));
    EXPECT_EQ(500u, Peek<DWORD>(first, flagAt + 4 + 40));
    EXPECT_EQ(2000u, Peek<DWORD>(first, flagAt + 4 + 44));
    EXPECT_EQ(0u, Peek<DWORD>(first, flagAt + 4 + 48));
    EXPECT_EQ(4, Peek<LONG>(first, flagAt + 4 + store));
    EXPECT_EQ(6u, Peek<DWORD>(first, kInfo + kId)) << "a text without its terminating zero";
    EXPECT_EQ("groove", std::string(first.begin() + kInfo + kId + 4, first.begin() + kInfo + kId + 10));

    auto* copy = new CLoopClip(&host, nullptr);
    ULONGLONG consumed = 0;
    ASSERT_EQ(S_OK, Load(*copy, first, &consumed));
    EXPECT_EQ(first.size(), consumed);
    EXPECT_EQ(first, Saved(*copy, TRUE));
    EXPECT_EQ(0x1234u, copy->GetId());
    EXPECT_EQ("groove", copy->GetName());
    EXPECT_EQ(path, copy->GetPath());

    // Played at the stream's rate, the loaded clip sounds as the original:
    // the same samples, shifted three semitones, over three loops.
    EXPECT_EQ(S_OK, copy->SetFormat(FloatFormat(kStreamRate, 2)));
    const LONGLONG total = 3 * LONGLONG(2 * 60.0 / host.bpm * kStreamRate);
    const std::vector<float> heard = Render(*original, kStreamRate, total);
    EXPECT_GT(Peak(heard), 0.2f);
    EXPECT_EQ(heard, Render(*copy, kStreamRate, total));
    copy->Release();
    original->Release();
}

TEST(CClipState, AClipWithoutAStoreSavesFlagZeroAndItsFixedRecords)
{
    CLoopClip clip(nullptr, nullptr);
    clip.SetName("snare");
    clip.SetPath("/x/snare.wav");
    clip.AddSlice(new CClipSlice, 0, false);
    clip.AddSlice(new CClipSlice, kQuarter, false);
    for (BOOL withData : {TRUE, FALSE}) {
        const Bytes b = Saved(clip, withData);
        ASSERT_EQ(kInfo + kId + (4 + 5) + (4 + 12) + 4 + 4 + 2 * kSlice, b.size());
        EXPECT_EQ(1u, Peek<DWORD>(b, 0)) << "layout version";
        EXPECT_EQ(100.0, Peek<double>(b, 104));
        EXPECT_EQ(60.0, Peek<double>(b, 136));
        EXPECT_EQ(5u, Peek<DWORD>(b, kInfo + kId));
        EXPECT_EQ(0u, Peek<DWORD>(b, kInfo + kId + 9 + 16)) << "data flag";
        EXPECT_EQ(2, Peek<LONG>(b, kInfo + kId + 9 + 16 + 4));
        EXPECT_EQ(kQuarter, Peek<LONGLONG>(b, b.size() - kSlice + 8)) << "the second slice's start";
    }
}

TEST_F(LoopFixture, AStateLeftWithoutDataSavesNoStore)
{
    CLoopClip* clip = LoadedClip();
    const Bytes b = Saved(*clip, FALSE);
    const size_t flagAt = kInfo + kId + 4 + 6 + 4 + path.size();
    ASSERT_EQ(flagAt + 4 + 4 + 4 * kSlice, b.size());
    EXPECT_EQ(0u, Peek<DWORD>(b, flagAt));

    // Loaded into a clip that already has a store, the slices play from it.
    CLoopClip* other = LoadedClip();
    CClipAudio* store = other->GetAudio();
    other->SetTranspose(0);
    ASSERT_EQ(S_OK, Load(*other, b));
    EXPECT_EQ(store, other->GetAudio());
    ASSERT_EQ(4, other->GetSliceCount());
    EXPECT_EQ(store, other->GetSlice(3)->GetAudio());
    EXPECT_EQ(3, other->GetTranspose());
    other->Release();
    clip->Release();
}

TEST(CClipState, AnEarlierInfoRecordIsFollowedDirectlyByTheDataFlag)
{
    struct Case {
        const char* name;
        DWORD word0, word124;
        DWORD id;  // the clip's id afterwards
    } cases[] = {
        {"version 0", 0, 0, 9},
        {"earlier layout: the id at offset 0", 0x2222, 1, 0x2222},
    };
    for (const Case& c : cases) {
        Bytes b(kInfo + 4 + 4, 0);
        Patch<DWORD>(b, 0, c.word0);
        Patch<DWORD>(b, 124, c.word124);
        Patch<LONGLONG>(b, 8, 4410);
        Patch<LONGLONG>(b, 16, 4 * kQuarter);
        Patch<double>(b, 104, 123.25);  // not what 4 beats in 4410 frames make
        Patch<float>(b, 112, 1.5f);
        Patch<float>(b, 116, 0.25f);
        CLoopClip clip(nullptr, nullptr);
        clip.SetName("keep");
        clip.SetId(9);
        ULONGLONG consumed = 0;
        ASSERT_EQ(S_OK, Load(clip, b, &consumed)) << c.name;
        EXPECT_EQ(b.size(), consumed) << c.name;
        EXPECT_EQ(c.id, clip.GetId()) << c.name;
        EXPECT_EQ("keep", clip.GetName()) << c.name;
        EXPECT_EQ(123.25, clip.GetTempo()) << c.name << ": the tempo as stored";
        EXPECT_EQ(4410, clip.GetLoopLength(CLoopClip::kUnitSamples)) << c.name;
        EXPECT_EQ(4410, clip.GetSourceLength()) << c.name << ": both frame lengths";
        EXPECT_EQ(1.5f, clip.GetGain()) << c.name;
        EXPECT_EQ(0.25f, clip.GetPan()) << c.name;
    }
}

TEST_F(LoopFixture, AShortOrDamagedStateFailsAndLeavesTheClipAsItWas)
{
    CLoopClip* source = LoadedClip();
    const Bytes good = Saved(*source, TRUE);
    source->Release();
    const size_t textsEnd = kInfo + kId + 4 + 6 + 4 + path.size();
    const size_t header = textsEnd + 4;
    const size_t data = header + kHeader;
    const size_t table = data + (kFileRate + 1) * 8;
    const size_t count = table + 2000 * 4;
    const size_t slices = count + 4;

    struct Case {
        std::string name;
        Bytes bytes;
    };
    std::vector<Case> cases;
    for (size_t cut : {size_t(0), size_t(100), kInfo - 1, kInfo, kInfo + 10, kInfo + kId, kInfo + kId + 7, textsEnd,
                       header + 30, data + 1000, table + 4, count + 2, slices + kSlice + 40, good.size() - 1})
        cases.push_back({"cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + long(cut))});
    auto patched = [&](const char* name, auto change) {
        Bytes b = good;
        change(b);
        cases.push_back({name, b});
    };
    patched("a negative start", [&](Bytes& b) { Patch<LONGLONG>(b, 24, -5); });
    patched("a tempo that is not a number", [&](Bytes& b) {
        Patch<double>(b, 104, std::numeric_limits<double>::quiet_NaN());
    });
    patched("a name longer than a text may be", [&](Bytes& b) { Patch<DWORD>(b, kInfo + kId, 0xFFFFFFFF); });
    patched("integer samples", [&](Bytes& b) { Patch<WORD>(b, header, 1); });
    patched("three channels", [&](Bytes& b) { Patch<WORD>(b, header + 2, 3); });
    patched("more frames than a clip holds", [&](Bytes& b) { Patch<DWORD>(b, header + 20, 0x10000000); });
    patched("more frames than the stream holds", [&](Bytes& b) { Patch<DWORD>(b, header + 20, 0x0FFFFFFE); });
    patched("an overview that does not match its points", [&](Bytes& b) { Patch<DWORD>(b, header + 44, 1999); });
    patched("more slices than the stream holds", [&](Bytes& b) { Patch<LONG>(b, count, 0x7FFFFFFF); });
    patched("a slice starting past 2^31 frames", [&](Bytes& b) { Patch<DWORD>(b, slices + 16, 0x80000000); });
    patched("a slice gain that is not a number", [&](Bytes& b) {
        Patch<float>(b, slices + 60, std::numeric_limits<float>::infinity());
    });

    for (const Case& c : cases) {
        CLoopClip* clip = LoadedClip();
        clip->SetName("before");
        const Bytes before = Saved(*clip, TRUE);
        EXPECT_FALSE(SUCCEEDED(Load(*clip, c.bytes))) << c.name;
        EXPECT_EQ(before, Saved(*clip, TRUE)) << c.name;
        clip->Release();
    }
}

TEST_F(LoopFixture, ASliceLongerThanItsStoreReadsOnlyWhatTheStoreHolds)
{
    CLoopClip* source = LoadedClip();
    Bytes b = Saved(*source, TRUE);
    source->Release();
    const size_t slices = b.size() - 4 * kSlice;
    Patch<DWORD>(b, slices + 3 * kSlice + 16, 40000);  // the last slice starts near the end
    Patch<DWORD>(b, slices + 3 * kSlice + 32, 1000000000);
    Patch<DWORD>(b, slices + 3 * kSlice + 36, 1000000000);

    CLoopClip clip(&host, nullptr);
    ASSERT_EQ(S_OK, Load(clip, b));
    const CClipSlice& last = *clip.GetSlice(3);
    EXPECT_EQ(40000, last.GetDataOffset());
    EXPECT_EQ(kFileRate - 40000, last.GetLength(CClipSlice::kUnitSamples));
    EXPECT_EQ(kFileRate - 40000, last.GetSecondLength());
    EXPECT_EQ(1000000000, last.GetLoadedLength()) << "the state's own value is kept for the next save";
    EXPECT_EQ(b, Saved(clip, TRUE));
    // Played at another rate and as stored, nothing is read past the store.
    EXPECT_GT(Peak(Render(clip, kFileRate, 2 * kFileRate)), 0.1f);
    EXPECT_EQ(S_OK, clip.SetFormat(FloatFormat(kStreamRate, 2)));
    EXPECT_GT(Peak(Render(clip, kStreamRate, 2 * kStreamRate)), 0.1f);
}

TEST_F(LoopFixture, ASliceFarPastItsStoreOrItsTimeStaysInsideItsStore)
{
    CLoopClip* source = LoadedClip();
    Bytes b = Saved(*source, TRUE);
    source->Release();
    const size_t slices = b.size() - 4 * kSlice;
    // Scaled to 48 kHz, a start just below 2^31 frames no longer fits 32 bits.
    Patch<DWORD>(b, slices + 2 * kSlice + 16, 0x7FFF0000);
    Patch<DWORD>(b, slices + 2 * kSlice + 32, 0x7FFF0000);
    Patch<LONG>(b, slices + 2 * kSlice + 56, 127);  // and shifted far up
    // Musical lengths that last far beyond 2^31 frames at the song's tempo.
    Patch<LONGLONG>(b, slices + 1 * kSlice + 24, LONGLONG(1) << 50);
    Patch<LONGLONG>(b, slices + 2 * kSlice + 24, LONGLONG(1) << 50);
    Patch<DWORD>(b, 72, 0);  // played once, not looped

    CLoopClip clip(&host, nullptr);
    ASSERT_EQ(S_OK, Load(clip, b));
    ASSERT_EQ(S_OK, clip.SetFormat(FloatFormat(kStreamRate, 2)));
    const LONG frames = clip.GetAudio()->GetFrames();
    for (int i = 0; i < clip.GetSliceCount(); ++i) {
        const CClipSlice& s = *clip.GetSlice(i);
        EXPECT_GE(s.GetDataOffset(), 0) << i;
        EXPECT_LE(s.GetDataOffset(), frames) << i;
        EXPECT_LE(s.GetDataOffset() + s.GetLength(CClipSlice::kUnitSamples), frames) << i;
    }
    EXPECT_GT(Peak(Render(clip, kStreamRate, 2 * kStreamRate)), 0.1f);
    // Near the end of the stretched slices, 2^31 frames on, they still sound.
    std::vector<float> late(2 * 4096, 0.0f);
    EXPECT_EQ(S_OK, clip.RenderMix(late.data(), FloatFormat(kStreamRate, 2), -1, INT32_MAX - 4096LL, 4096));
    EXPECT_GT(Peak(late), 0.0f);
}
