// A song of loop clips heard through the loop player itself, for the tests
// of songs that play them: the loop player registered with regsvr (before
// the song is made, so its master bus clicks through one too), the engine's
// clip pool registered for model code, a song at 100 BPM whose host site
// reads the song's own tempo, and a 4-beat loop of spikes to import.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/engine/hosting/PoolEngineServices.h"
#include "tests/engine/hosting/ProjectTestSupport.h"
#include "tests/engine/hosting/SineSongFixture.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

namespace loopsong {

using songplay::kFrames;
using songplay::kRate;

// A 2-second stereo loop of 4 beats (120 BPM of its own), one slice a beat:
// silent but for a spike on each slice's first frame, 0.2 x (slice + 1) high.
inline Bytes SpikeLoop()
{
    Bytes data;
    for (int i = 0; i < 2 * kRate; ++i) {
        const float v = i % 24000 == 0 ? 0.2f * float(i / 24000 + 1) : 0.0f;
        PutFloat(data, v);
        PutFloat(data, v);
    }
    return Wave(Concat({Chunk("fmt ", Fmt(3, 2, kRate, 32)), Chunk("data", data), Chunk("acid", Acid(0, 60, 4, 120.0f)),
                        Chunk("strc", Strc({{0, 24000, 1}, {0, 48000, 1}, {0, 72000, 1}}))}));
}

// At 100 BPM a beat lasts 0.6 s and the loop 2.4 s.
constexpr LONG kSongTempo = 10000;
constexpr LONGLONG kBeatFrames = 28800;
constexpr LONGLONG kCycleFrames = 4 * kBeatFrames;
constexpr LONG kCycleTicks = 3840;

// Frames where the left channel sounds after at least `gap` silent frames,
// with the level heard there.
struct Onset {
    LONGLONG frame;
    float level;
};
inline std::vector<Onset> Onsets(const std::vector<float>& song, std::size_t gap = 400)
{
    std::vector<Onset> onsets;
    std::size_t silent = gap;
    for (std::size_t i = 0; i < song.size() / 2; ++i) {
        if (std::fabs(song[2 * i]) < 1e-4f) {
            ++silent;
            continue;
        }
        if (silent >= gap)
            onsets.push_back({static_cast<LONGLONG>(i), song[2 * i]});
        silent = 0;
    }
    return onsets;
}

// Each slice's spike where the arithmetic puts it, within one frame, at a
// level in proportion to its height in the file.
inline void ExpectSlicesOnTheirBeats(const std::vector<float>& song, int cycles, const char* what)
{
    const std::vector<Onset> got = Onsets(song);
    ASSERT_EQ(static_cast<std::size_t>(4 * cycles), got.size()) << what;
    for (std::size_t n = 0; n < got.size(); ++n) {
        const LONGLONG expected = static_cast<LONGLONG>(n / 4) * kCycleFrames + static_cast<LONGLONG>(n % 4) * kBeatFrames;
        EXPECT_LE(std::llabs(got[n].frame - expected), 1) << what << ": slice #" << n << " at " << got[n].frame;
        EXPECT_NEAR(got[n].level / got[0].level, static_cast<float>(n % 4 + 1), 1e-4) << what << ": slice #" << n;
    }
}

class LoopSongFixture : public songplay::SineSongFixture {
protected:
    void SetUp() override
    {
        // Before the song is made: its master bus clicks through a loop player too.
        ASSERT_EQ(0, songplay::Regsvr(std::string("'") + MVTEST_TAMBLOR_SERVER + "'"));
        SineSongFixture::SetUp();
        SetEngineServices(&services);
        UseDocument();
        ASSERT_EQ(S_OK, doc->GetTempoMap()->Set(0, CTempo(0, kSongTempo)));
        loopPath = files.Write("Drums.loop.wav", SpikeLoop());
    }
    void TearDown() override
    {
        site->SetDocument(&siteDocument);
        SineSongFixture::TearDown();
        SetEngineServices(nullptr);
    }

    // The loop players read the song's tempo through the host site.
    void UseDocument() { ASSERT_EQ(S_OK, site->SetDocument(doc)); }

    // The imported loop's track and its one instance, stretched to `cycles`
    // loops of the clip.
    CChannel* ImportLoop(int cycles)
    {
        EXPECT_EQ(S_OK, doc->ImportIntoProject("Drums.loop.wav", loopPath.c_str()));
        CChannel* channel = nullptr;
        EXPECT_EQ(S_OK, doc->GetChannelAt(doc->GetChannelCount() - 1, &channel));
        CPatternInstance* instance = nullptr;
        if (channel != nullptr && channel->GetPatternInstance(doc->GetActiveInstance(), &instance) == S_OK)
            EXPECT_EQ(S_OK, instance->SetEnd(cycles * kCycleTicks));
        else
            ADD_FAILURE() << "the import placed no active instance";
        return channel;
    }

    // Plays the song from its start; `beforeBlock` as Play takes it.
    std::vector<float> PlayFrames(LONGLONG frames, const std::function<void(int)>& beforeBlock = nullptr)
    {
        EXPECT_TRUE(SUCCEEDED(doc->RebuildGraph()));
        EXPECT_EQ(S_OK, audio.Prepare());
        // From the song's start, as the engine owner locates it: the loop
        // players read the song's position from the stream's time.
        EXPECT_EQ(S_OK, audio.SetSamplePosition(0));
        return Play(static_cast<int>((frames + kFrames - 1) / kFrames), beforeBlock);
    }

    // The song saved and loaded into a fresh document, which then plays.
    void SaveAndLoad(std::vector<BYTE>* saved)
    {
        projtest::FakeEngineOwner owner;
        ASSERT_EQ(S_OK, projtest::SaveProject(doc, &owner, saved));
        audio.SetDocument(nullptr);
        data.SetDocument(nullptr);
        site->SetDocument(&siteDocument);
        SetSongDocument(nullptr);
        CUndoHistory::Instance().Clear();
        CMidiDoc::DestroyMidiDoc(doc);
        doc = nullptr;
        ASSERT_EQ(0u, services.pool.Count()) << "the clips went with their song";
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        ASSERT_EQ(S_OK, projtest::LoadProject(doc, &owner, *saved));
        SetSongDocument(doc);
        UseDocument();
        audio.SetDocument(doc->GetRenderDocument());
        data.SetDocument(doc);
    }

    songplay::PoolEngineServices services{kRate};
    TempFiles files;
    std::string loopPath;
};

}  // namespace loopsong
