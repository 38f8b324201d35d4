// Loop clips in a song, heard through the loop player itself (registered
// with regsvr, created by class identifier on a track of its own): an audio
// file imported into the song plays each slice on its beat at the song's
// tempo, keeps doing so after a save and load, falls silent with its
// instance and comes back with an undo; an import that the clip pool
// refuses leaves the song and the pool as they were. The song's metronome
// clicks through the same player in its master bus.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/mixer/CMainBus.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "tests/engine/hosting/LoopSongFixture.h"

namespace {

using namespace loopsong;

using LoopClipSong = LoopSongFixture;

TEST_F(LoopClipSong, AnImportedLoopPlaysEachSliceOnItsBeatAtTheSongsTempo)
{
    ImportLoop(3);
    const std::vector<float> song = PlayFrames(3 * kCycleFrames + kRate / 2);
    ExpectSlicesOnTheirBeats(song, 3, "three loops at 100 BPM");
    double after = 0;
    for (std::size_t i = 2 * static_cast<std::size_t>(3 * kCycleFrames + kRate / 10); i < song.size(); ++i)
        after = std::max(after, static_cast<double>(std::fabs(song[i])));
    EXPECT_EQ(0.0, after) << "nothing sounds past the instance's end";
}

TEST_F(LoopClipSong, ASavedSongPlaysItsLoopTheSame)
{
    ImportLoop(2);
    const LONGLONG frames = 2 * kCycleFrames + kRate / 2;
    const std::vector<float> before = PlayFrames(frames);
    ExpectSlicesOnTheirBeats(before, 2, "before saving");

    std::vector<BYTE> saved;
    SaveAndLoad(&saved);
    CPattern* pattern = nullptr;
    ASSERT_EQ(S_OK, doc->GetActivePattern(&pattern));
    EXPECT_EQ(loopPath, pattern->GetClipFile().GetString());
    ASSERT_NE(nullptr, services.pool.GetClip(pattern->GetClipId())) << "the pattern's clip is back in the pool";
    const std::vector<float> after = PlayFrames(frames);
    ExpectSlicesOnTheirBeats(after, 2, "after loading");

    ASSERT_EQ(before.size(), after.size());
    double residue = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        residue = std::max(residue, static_cast<double>(std::fabs(before[i] - after[i])));
    EXPECT_LT(residue, 1e-6) << "the loaded song nulls against the saved one";

    std::vector<BYTE> again;
    projtest::FakeEngineOwner owner;
    ASSERT_EQ(S_OK, projtest::SaveProject(doc, &owner, &again));
    EXPECT_EQ(saved, again);
}

TEST_F(LoopClipSong, ARemovedInstanceFallsSilentAndUndoBringsItsLoopBack)
{
    CChannel* channel = ImportLoop(1);
    ASSERT_NE(nullptr, channel);
    const DWORD instance = doc->GetActiveInstance();
    const std::size_t poolWith = services.pool.Count();
    ASSERT_NE(nullptr, services.pool.GetClip(instance)) << "the player keeps the instance's clip in the pool";

    ASSERT_EQ(S_OK, channel->DeletePatternInstance(instance, TRUE, nullptr));
    EXPECT_EQ(nullptr, services.pool.GetClip(instance)) << "the pool let the instance's clip go";
    EXPECT_EQ(poolWith - 1, services.pool.Count());
    const std::vector<float> silent = PlayFrames(kCycleFrames);
    EXPECT_TRUE(Onsets(silent).empty());

    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_NE(nullptr, services.pool.GetClip(instance));
    ExpectSlicesOnTheirBeats(PlayFrames(kCycleFrames + kRate / 2), 1, "after the undo");
}

TEST_F(LoopClipSong, ImportMakesALoopPatternOnALoopPlayerTrackInOneCommand)
{
    engine.now = 1920;
    const int tracks = doc->GetChannelCount();
    ASSERT_EQ(S_OK, doc->ImportIntoProject("Drums.loop.wav", loopPath.c_str()));
    EXPECT_STREQ("Import Drums.loop Into Project", CUndoHistory::Instance().GetCommandName(0));

    ASSERT_EQ(tracks + 1, doc->GetChannelCount()) << "a new track at the end";
    CChannel* channel = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannelAt(tracks, &channel));
    EXPECT_NE(nullptr, channel->GetLoopClipHost()) << "the track plays loop clips";
    CPattern* pattern = nullptr;
    ASSERT_EQ(S_OK, doc->GetActivePattern(&pattern));
    EXPECT_EQ(CPattern::kKindLoopClip, pattern->GetKind());
    EXPECT_STREQ("Drums.loop", pattern->GetDisplayName().GetString());
    EXPECT_EQ(loopPath, pattern->GetClipFile().GetString());
    EXPECT_EQ(kCycleTicks, pattern->GetDuration()) << "the clip's four beats";
    CPatternInstance* instance = nullptr;
    ASSERT_EQ(S_OK, channel->GetPatternInstance(doc->GetActiveInstance(), &instance));
    EXPECT_EQ(1920, instance->GetStart()) << "at the transport's position";
    EXPECT_EQ(1920 + kCycleTicks, instance->GetEnd());
    const DWORD firstInstance = instance->GetInstanceId();
    EXPECT_NE(nullptr, services.pool.GetClip(pattern->GetClipId())) << "the pattern's clip is in the pool";
    EXPECT_NE(nullptr, services.pool.GetClip(firstInstance)) << "and the instance's";
    ASSERT_EQ(S_OK, instance->SetTranspose(7));
    EXPECT_EQ(7, services.pool.Find(firstInstance)->GetTranspose()) << "the instance's clip follows its transpose";

    // With the loop player's track active the next file joins it.
    const std::string other = files.Write("Other.wav", SpikeLoop());
    ASSERT_EQ(S_OK, doc->ImportIntoProject("Other.wav", other.c_str()));
    EXPECT_EQ(tracks + 1, doc->GetChannelCount());
    EXPECT_EQ(2, channel->GetTimeline().GetSize());

    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(tracks, doc->GetChannelCount()) << "undo takes the track away";
    EXPECT_EQ(nullptr, services.pool.GetClip(firstInstance)) << "and the instance's clip";
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
    ASSERT_EQ(S_OK, doc->GetChannelAt(tracks, &channel));
    ASSERT_EQ(1, channel->GetTimeline().GetSize());
    EXPECT_NE(nullptr, services.pool.GetClip(channel->GetTimeline()[0].GetInstanceId()))
        << "the instance registers its clip again";
}

TEST_F(LoopClipSong, ADuplicatedLoopPatternHasAClipOfItsOwnInThePool)
{
    ASSERT_EQ(S_OK, doc->ImportIntoProject("Drums.loop.wav", loopPath.c_str()));
    CPattern* source = nullptr;
    ASSERT_EQ(S_OK, doc->GetActivePattern(&source));
    const SHORT copyId = doc->NextPatternId();
    ASSERT_EQ(S_OK, doc->DuplicatePattern(source->GetId(), copyId, TRUE, nullptr));
    CPattern* copy = nullptr;
    ASSERT_EQ(S_OK, doc->GetPattern(copyId, &copy));
    EXPECT_EQ(CPattern::kKindLoopClip, copy->GetKind());
    EXPECT_EQ(loopPath, copy->GetClipFile().GetString());
    EXPECT_EQ(kCycleTicks, copy->GetDuration());
    EXPECT_NE(source->GetClipId(), copy->GetClipId());
    EXPECT_NE(nullptr, services.pool.GetClip(copy->GetClipId())) << "the copy's clip is in the pool";
    EXPECT_NE(nullptr, services.pool.GetClip(source->GetClipId())) << "beside the source's";
}

TEST_F(LoopClipSong, AnOrdinarySynthTrackGetsALoopPlayerTrackBesideIt)
{
    ASSERT_EQ(S_OK, doc->InsertChannel(0, FALSE, &mvtest::CLSID_SineSynth, mvtest::kSineInstrumentName, nullptr));
    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(0, nullptr));
    ASSERT_EQ(S_OK, doc->ImportIntoProject("Drums.loop.wav", loopPath.c_str()));
    ASSERT_EQ(2, doc->GetChannelCount());
    CChannel* sine = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannelAt(0, &sine));
    EXPECT_EQ(nullptr, sine->GetLoopClipHost()) << "an ordinary synth has no clip host";
    EXPECT_EQ(0, sine->GetTimeline().GetSize());
    CChannel* added = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannelAt(1, &added));
    EXPECT_EQ(1, added->GetTimeline().GetSize());
}

// Left channel's rising zero crossings per second over [from, from + frames).
double ToneFrequency(const std::vector<float>& song, LONGLONG from, LONGLONG frames)
{
    int crossings = 0;
    for (LONGLONG i = from + 1; i < from + frames; ++i)
        if (song[static_cast<std::size_t>(2 * (i - 1))] < 0.0f && song[static_cast<std::size_t>(2 * i)] >= 0.0f)
            ++crossings;
    return crossings * double(kRate) / double(frames);
}

TEST_F(LoopClipSong, TheMetronomeClicksThroughTheLoopPlayerOnEveryBeat)
{
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    CMetronome& metronome = main->GetMetronome();
    ASSERT_TRUE(metronome.HasPlayer()) << "the loop player sits in the master bus";
    ASSERT_EQ(S_OK, metronome.SetFirstBeatUsesWave(FALSE));
    ASSERT_EQ(S_OK, metronome.SetOtherBeatsUseWave(FALSE));
    ASSERT_EQ(S_OK, metronome.SetFirstBeatPitch(93));   // 880 Hz
    ASSERT_EQ(S_OK, metronome.SetOtherBeatsPitch(81));  // 440 Hz
    ASSERT_EQ(S_OK, metronome.SetToneDuration(240));    // a sixteenth: 0.15 s at 100 BPM
    doc->SetMetronomeOn(TRUE);
    const std::vector<float> song = PlayFrames(2 * kCycleFrames);
    const std::vector<Onset> clicks = Onsets(song);
    ASSERT_EQ(8u, clicks.size()) << "two 4/4 measures";
    for (std::size_t n = 0; n < clicks.size(); ++n) {
        EXPECT_LE(std::llabs(clicks[n].frame - static_cast<LONGLONG>(n) * kBeatFrames), 1) << "click #" << n;
        const double expected = n % 4 == 0 ? 880.0 : 440.0;
        EXPECT_NEAR(expected, ToneFrequency(song, clicks[n].frame, 7000), 10.0) << "click #" << n;
    }
}

TEST_F(LoopClipSong, TheClipHostTakesOnlyClipsOfTheEnginesPool)
{
    CChannel* channel = ImportLoop(1);
    ASSERT_NE(nullptr, channel);
    ILoopClipHost* host = channel->GetLoopClipHost();
    ASSERT_NE(nullptr, host);
    pattest::FakeLoopClip stranger;
    ILoopClip* registered = reinterpret_cast<ILoopClip*>(1);
    EXPECT_EQ(E_POINTER, host->RegisterClip(77, ILoopClipHost::kModeTimeline, nullptr, &registered));
    EXPECT_EQ(nullptr, registered);
    EXPECT_EQ(E_INVALIDARG, host->RegisterClip(77, ILoopClipHost::kModeTimeline, &stranger, &registered));
    EXPECT_EQ(nullptr, services.pool.GetClip(77));
    EXPECT_EQ(S_FALSE, host->UnregisterClip(77)) << "nothing plays under that id";
    EXPECT_EQ(S_FALSE, host->ReregisterClip(doc->GetActiveInstance(), nullptr)) << "it plays already";
}

// Files the pool refuses: the whole import is undone and the pool keeps
// only what it had.
TEST_F(LoopClipSong, ARefusedFileLeavesTheSongAndThePoolAsTheyWere)
{
    struct Case {
        const char* name;
        Bytes bytes;
        HRESULT expected;
    };
    Bytes longBeats;
    {
        Bytes data;
        for (int i = 0; i < 4 * 2; ++i)
            PutFloat(data, 0.0f);
        longBeats = Wave(Concat({Chunk("fmt ", Fmt(3, 2, kRate, 32)), Chunk("data", data),
                                 Chunk("acid", Acid(0, 60, 300, 120.0f)), Chunk("strc", Strc({{0, 2, 1}}))}));
    }
    const Case cases[] = {
        {"not a wave file", Bytes{'n', 'o', 'p', 'e'}, E_FAIL},
        {"a loop of 300 beats", longBeats, E_UNEXPECTED},
    };
    // The active track plays no loop clips: every import would add one.
    ASSERT_EQ(S_OK, doc->InsertChannel(0, FALSE, &mvtest::CLSID_SineSynth, mvtest::kSineInstrumentName, nullptr));
    ImportLoop(1);
    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(0, nullptr));
    const std::size_t poolBefore = services.pool.Count();
    const int tracksBefore = doc->GetChannelCount();
    int undoBefore = 0;
    ASSERT_EQ(S_OK, CUndoHistory::Instance().GetCount(&undoBefore));
    CPattern* activeBefore = nullptr;
    ASSERT_EQ(S_OK, doc->GetActivePattern(&activeBefore));
    for (const Case& c : cases) {
        const std::string path = files.Write(std::string(c.name) + ".wav", c.bytes);
        const HRESULT hr = doc->ImportIntoProject("refused.wav", path.c_str());
        EXPECT_TRUE(FAILED(hr)) << c.name;
        if (c.expected == E_UNEXPECTED) {
            EXPECT_EQ(E_UNEXPECTED, hr) << c.name;
        }
        EXPECT_EQ(poolBefore, services.pool.Count()) << c.name;
        EXPECT_EQ(tracksBefore, doc->GetChannelCount()) << c.name << ": no track left behind";
        int undoCount = 0;
        EXPECT_EQ(S_OK, CUndoHistory::Instance().GetCount(&undoCount));
        EXPECT_EQ(undoBefore, undoCount) << c.name;
        CPattern* active = nullptr;
        EXPECT_EQ(S_OK, doc->GetActivePattern(&active));
        EXPECT_EQ(activeBefore, active) << c.name;
    }
    EXPECT_EQ(E_POINTER, doc->ImportIntoProject("x.wav", nullptr));
}

}  // namespace
