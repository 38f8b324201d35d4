// The program as a ReWire device, end to end: the host's harness loads the
// bridge Plenth, which loads the engine library, which starts the program
// with the panel switch. The program opens the song beside it
// ("AUTORUN.MVP", written here: one channel of the sine test instrument and
// a loop) and plays it as the host drives it. What the host receives per
// pair is the song at the host's tempo; the host's play, stop and locate
// reach the program, and the song's loop comes back to the host; closing
// ends the program and leaves no shared object behind. The host's live
// notes are played by the song's channel.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "engine/CTransport.h"
#include "engine/hosting/CMfxHostSite.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CProjectDocument.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/HostSiteFakes.h"
#include "tests/model/PatternTestSupport.h"
#include "tests/plugins/rewirebridge/PlenthHarness.h"
#include "tests/plugins/synthframework/sine/SineSynthClass.h"

namespace {

using namespace plenthtest;

constexpr int kRate = 44100;
// At the host's 120 beats per minute a quarter note (960 ticks) lasts half
// a second.
constexpr LONGLONG FramesOf(LONG ticks) { return static_cast<LONGLONG>(ticks) * kRate / 1920; }

// The song's notes: two short ones and a long one, on one channel.
struct SongNote {
    LONG tick;
    BYTE key;
    DWORD ticks;
};
constexpr SongNote kNotes[] = {{0, 69, 240}, {1920, 81, 240}, {3840, 76, 3840}};
constexpr LONG kLoopStart = 960;
constexpr LONG kLoopEnd = 3840;
// The pairs the host asks for, by the bridge's output pin: the mix, the
// first aux bus, and the channel's output branch (after the mix and the four
// aux pairs); and what the harness records each in.
constexpr int kMixPin = 0;
constexpr int kAuxPin = 1;
constexpr int kBranchPin = 5;
enum Sink { kMix, kAux, kBranch };
constexpr float kHeard = 0.01f;
// Below what a 24-bit converter resolves (the mixers keep denormals away
// with a tiny offset).
constexpr float kSilent = 1e-6f;

class DeviceMode : public PlenthHarness {
protected:
    // The program beside the engine library, as a file of the folder's own,
    // so that the song beside it is this test's.
    void InstallProgram()
    {
        std::error_code linked;
        fs::create_hard_link(MVTEST_MORVANE, folder.File("program"), linked);
        if (linked)
            fs::copy_file(MVTEST_MORVANE, folder.File("program"));
    }

    // The song the program opens at start, with the loop the transport
    // saves into it.
    void WriteSong()
    {
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
        CUndoHistory::Instance().Clear();
        sitetest::FakeSiteEngine siteEngine;
        sitetest::FakeSiteDocument siteDocument;
        CMfxHostSite* site = nullptr;
        ASSERT_EQ(S_OK, CreateMfxHostSite(&siteEngine, &site));
        ASSERT_EQ(S_OK, site->SetDocument(&siteDocument));
        songdoctest::FakeEngine engine;
        engine.hostSite = site;
        CTransport owner;
        ASSERT_EQ(S_OK, owner.SetLoop(kLoopStart, kLoopEnd, FALSE));
        {
            CProjectDocument::Setup setup;
            setup.engine = &engine;
            setup.engineOwner = &owner;
            CProjectDocument project(setup);
            ASSERT_EQ(S_OK, project.NewDocument());
            CMidiDoc* doc = project.GetSongDocument();
            ASSERT_EQ(S_OK, doc->InsertChannel(0, FALSE, &mvtest::CLSID_SineSynth, mvtest::kSineInstrumentName,
                                               nullptr));
            CPattern* pattern = nullptr;
            ASSERT_EQ(S_OK, doc->CreatePattern(100, FALSE, nullptr, &pattern));
            pattern->SetDuration(7680);
            for (const SongNote& n : kNotes) {
                CMfxEvent note = pattest::Note(n.tick, n.key, n.ticks);
                note.m_note.velocity = 100;
                ASSERT_EQ(S_OK, pattern->InsertEvent(note, FALSE, nullptr, FALSE));
            }
            CChannel* channel = nullptr;
            ASSERT_EQ(S_OK, doc->GetChannelAt(0, &channel));
            CPatternInstance instance(pattern);
            instance.SetStart(0);
            instance.SetEnd(7680);
            ASSERT_EQ(S_OK, channel->AddPatternInstance(instance, FALSE, nullptr));
            ASSERT_EQ(S_OK, project.SaveProject(folder.File("AUTORUN.MVP").c_str()));
        }
        CUndoHistory::Instance().Clear();
        site->SetDocument(nullptr);
        site->Release();
    }

    // One block through, as the next buffer would bring it again when the
    // bridge was busy; each pin's frames appended to its stream (a block the
    // bridge left to be zero-filled is silence).
    void Push()
    {
        ASSERT_EQ(S_OK, PushTaken());
        for (std::size_t p = 0; p < sinks.size(); ++p) {
            const std::vector<float>& data = sinks[p]->blocks.back().data;
            std::vector<float>& stream = streams[p];
            if (data.empty())
                stream.insert(stream.end(), static_cast<std::size_t>(kBlock) * 2, 0.0f);
            else
                stream.insert(stream.end(), data.begin(), data.end());
        }
    }
    LONGLONG Frames() const { return static_cast<LONGLONG>(streams[0].size() / 2); }
    // Pushes until `done` holds; false when it did not within the time.
    bool PushUntil(const std::function<bool()>& done)
    {
        const auto limit = steady_clock::now() + mvtest::SanitizerScaled(std::chrono::seconds(20));
        while (!done()) {
            if (steady_clock::now() > limit || ::testing::Test::HasFatalFailure())
                return false;
            Push();
        }
        return true;
    }
    void PushFrames(LONGLONG frames)
    {
        const LONGLONG until = Frames() + frames;
        PushUntil([&] { return Frames() >= until; });
    }
    // The first frame from `from` on whose left sample is heard in the sink;
    // -1 when none.
    LONGLONG Onset(Sink sink, LONGLONG from) const
    {
        const std::vector<float>& s = streams[sink];
        for (LONGLONG f = std::max<LONGLONG>(from, 0); 2 * f < static_cast<LONGLONG>(s.size()); ++f)
            if (std::fabs(s[static_cast<std::size_t>(2 * f)]) > kHeard)
                return f;
        return -1;
    }
    float Peak(Sink sink, LONGLONG from, LONGLONG to) const
    {
        const std::vector<float>& s = streams[sink];
        float peak = 0.0f;
        for (LONGLONG i = 2 * from; i < 2 * to && i < static_cast<LONGLONG>(s.size()); ++i)
            peak = std::max(peak, std::fabs(s[static_cast<std::size_t>(i)]));
        return peak;
    }
    bool HostHeardTime(DWORD id, LONGLONG value)
    {
        for (const BridgeHost::Call& c : host.Calls())
            if (c.what == 't' && c.id == id && c.value == value)
                return true;
        return false;
    }

    std::vector<float> streams[3];
};

TEST_F(DeviceMode, TheProgramPlaysItsSongForTheHostAndFollowsItsTransport)
{
    InstallProgram();
    WriteSong();
    if (HasFatalFailure())
        return;
    Play("", {kMixPin, kAuxPin, kBranchPin}, folder.File("program").c_str());
    ASSERT_EQ(static_cast<int>(kRate), graph->GetSampleRate());

    // The song's loop comes to the host as the device's loop request.
    constexpr LONGLONG kHostPerTick = 16 * 4096;
    ASSERT_TRUE(PushUntil([&] { return HostHeardTime(1, kLoopStart * kHostPerTick); }));
    EXPECT_TRUE(HostHeardTime(2, kLoopEnd * kHostPerTick));

    // The program settles while the host stands (the audio reset after the
    // song's load rebuilds the graph, and the taps are taken from the new
    // one after it: the branch pairs may miss a block or two in between).
    ASSERT_EQ(S_OK, soft->Stop());
    const auto settled = steady_clock::now() + mvtest::SanitizerScaled(std::chrono::milliseconds(600));
    ASSERT_TRUE(PushUntil([&] { return steady_clock::now() > settled; }));

    // The host plays from the song's start: the notes come at their frames.
    const LONGLONG start = Frames();
    ASSERT_EQ(S_OK, soft->Start(0));
    ASSERT_TRUE(PushUntil([&] { return Onset(kMix, start) >= 0; })) << "the song is heard";
    const LONGLONG first = Onset(kMix, start);
    PushFrames(FramesOf(kNotes[2].tick) + FramesOf(480));
    for (int n = 1; n < 3; ++n) {
        const LONGLONG expected = first + FramesOf(kNotes[n].tick);
        const LONGLONG heard = Onset(kMix, expected - FramesOf(240));
        EXPECT_LE(std::llabs(heard - expected), kBlock) << "note " << n << " at the host's tempo";
    }
    EXPECT_EQ(first, Onset(kBranch, start)) << "the channel's output branch has its own pair";
    EXPECT_GT(Peak(kBranch, first, Frames()), 0.1f);
    EXPECT_LT(Peak(kAux, 0, Frames()), kSilent) << "nothing is sent to the aux bus";

    // The host stops inside the long note: the song falls silent.
    ASSERT_EQ(S_OK, soft->Stop());
    PushFrames(FramesOf(480));
    const LONGLONG stopped = Frames();
    PushFrames(FramesOf(480));
    EXPECT_LT(Peak(kMix, stopped, Frames()), kSilent) << "silent once stopped";

    // The host plays again from its start: the program locates there.
    const LONGLONG restart = Frames();
    ASSERT_EQ(S_OK, soft->Start(0));
    PushFrames(FramesOf(240));
    const LONGLONG again = Onset(kMix, restart);
    ASSERT_GE(again, restart);
    EXPECT_LE(again - restart, kBlock) << "the first note again, in the first buffer played";

    // Closing: the program ends when asked, well before it would be killed.
    const auto before = steady_clock::now();
    EXPECT_EQ(S_OK, bridge->QuitPanelApp(5000));
    if (mvtest::kSanitizerSlowdown == 1) {
        EXPECT_LT(steady_clock::now() - before, std::chrono::milliseconds(2500));
    }
    EXPECT_FALSE(bridge->IsPanelAppLaunched() == 0) << "the program is gone";
}

TEST_F(DeviceMode, TheHostsLiveNotesArePlayedByTheSongsChannel)
{
    InstallProgram();
    WriteSong();
    if (HasFatalFailure())
        return;
    Play("", {kMixPin}, folder.File("program").c_str());
    ASSERT_TRUE(PushUntil([&] { return Onset(kMix, 0) >= 0; })) << "the song is heard";
    const LONGLONG first = Onset(kMix, 0);
    // Between the song's first two notes the mix is silent.
    PushUntil([&] { return Frames() >= first + FramesOf(720); });
    ASSERT_LT(Peak(kMix, first + FramesOf(480), Frames()), kHeard);

    // The host plays a note of its own there, and lets it go.
    mvtest::FakeMidiQueue midi;
    midi.Message(0, 0x90, 60, 100);
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    const LONGLONG sent = Frames();
    PushFrames(FramesOf(240));
    const LONGLONG heard = Onset(kMix, sent);
    ASSERT_GE(heard, sent) << "the host's note is heard";
    EXPECT_LE(heard - sent, 4 * kBlock) << "within a few buffers";
    midi.records.clear();
    midi.Message(0, 0x80, 60, 0);
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    PushFrames(FramesOf(240));
    const LONGLONG released = Frames();
    PushUntil([&] { return Frames() >= first + FramesOf(1800); });
    EXPECT_LT(Peak(kMix, released, Frames()), kHeard) << "its release lets it go";
    EXPECT_EQ(S_OK, bridge->QuitPanelApp(5000));
}

}  // namespace
