// A Standard MIDI File imported into a real song document: tracks, patterns,
// instances and time maps as one undoable command, and undo bringing back
// the song exactly as it was.
#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/hosting/CMfxHostSite.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "platform/res/CScriptedAnswerer.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/HostSiteFakes.h"
#include "tests/model/PatternTestSupport.h"
#include "tests/model/SmfTestSupport.h"
#include "uikit/core/ISeqUI.h"

namespace {

namespace fs = std::filesystem;
using smftest::Bytes;
using smftest::TrackWriter;

// Everything of the song an import may touch, for comparing before and after.
struct SongState {
    std::vector<SHORT> tracks;
    std::vector<std::string> trackNames;
    std::vector<std::vector<std::string>> instances;
    std::vector<std::string> patterns;
    std::vector<std::pair<LONG, LONG>> tempos;
    std::vector<std::string> meters;
    bool operator==(const SongState&) const = default;
};

class MidiDocSmfImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        // Imported tracks get a synth, and synths live in the host site.
        ASSERT_EQ(S_OK, CreateMfxHostSite(&siteEngine, &site));
        engine.hostSite = site;
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        m_path = fs::temp_directory_path() / ("mv_smfimport_" + std::to_string(::getpid()) + "_" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                              ".mid");
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
        if (site != nullptr)
            site->Release();
        fs::remove(m_path);
    }

    HRESULT Import(const Bytes& bytes)
    {
        std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
        return doc->ImportMidiFile(m_path.c_str());
    }

    SongState State()
    {
        SongState s;
        for (int i = 0; i < doc->GetChannelCount(); ++i) {
            CChannel* c = nullptr;
            EXPECT_EQ(S_OK, doc->GetChannelAt(i, &c));
            s.tracks.push_back(static_cast<SHORT>(c->GetId()));
            s.trackNames.push_back(c->CControlParamSet::GetDisplayName().GetString());
            std::vector<CPatternInstance*> instances;
            c->GetTimeline().GetPatternInstances(&instances);
            std::vector<std::string> texts;
            for (const CPatternInstance* p : instances)
                texts.push_back(std::to_string(p->GetPatternID()) + "@" + std::to_string(p->GetStart()) + "-" +
                                std::to_string(p->GetEnd()));
            s.instances.push_back(texts);
        }
        for (int i = 0; i < doc->GetPatternCount(); ++i) {
            CPattern* p = nullptr;
            EXPECT_EQ(S_OK, doc->GetPatternAt(i, &p));
            std::string text = std::to_string(p->GetId()) + " " + p->GetDisplayName().GetString() + " " +
                               std::to_string(p->GetDuration());
            for (const CMfxEvent& e : p->GetEvents())
                text += "|" + std::string(e.GetText().GetString());
            s.patterns.push_back(text);
        }
        const CTempoMap& tempo = *doc->GetTempoMap();
        for (int i = 0; i < tempo.GetSize(); ++i)
            s.tempos.emplace_back(tempo[i].m_tick, tempo[i].m_tempo);
        const CMeterKeySigMap& meter = doc->GetMeterKeyMap();
        for (int i = 0; i < meter.GetSize(); ++i)
            s.meters.push_back(std::to_string(meter[i].m_startTick) + " " + std::to_string(meter[i].m_numerator) +
                               "/" + std::to_string(meter[i].m_power) + " " + std::to_string(meter[i].m_key));
        return s;
    }

    // A song that is not empty: a named track playing a pattern, and a
    // second tempo entry.
    void BuildSong()
    {
        ASSERT_EQ(S_OK, doc->InsertChannel(0, FALSE, &CLSID_NoSynth, "", nullptr));
        ASSERT_EQ(S_OK, doc->SetChannelName(0, "Keys", FALSE));
        CPattern* p = nullptr;
        ASSERT_EQ(S_OK, doc->CreatePattern(doc->NextPatternId(), FALSE, nullptr, &p));
        p->SetDuration(3840);
        ASSERT_EQ(S_OK, p->InsertEvent(pattest::Note(0, 48), FALSE, nullptr, FALSE));
        CChannel* c = nullptr;
        ASSERT_EQ(S_OK, doc->GetChannelAt(0, &c));
        CPatternInstance instance(p);
        instance.SetStart(0);
        instance.SetEnd(3840);
        ASSERT_EQ(S_OK, c->AddPatternInstance(instance, FALSE, nullptr));
        ASSERT_EQ(S_OK, doc->GetTempoMap()->Insert(1, CTempo(3840, 9000)));
    }

    // Format 1: a conductor track with tempo 100 BPM at 0 and 3/4 at 0, and
    // two named tracks of notes, at division 96.
    static Bytes TwoTrackFile()
    {
        TrackWriter conductor;
        conductor.Tempo(0, 600000).Meta(0, 0x58, {3, 2, 24, 8}).End();
        TrackWriter lead;
        lead.Text(0, 0x03, "Lead").NoteOn(0, 0, 72).NoteOff(96, 0, 72).NoteOn(0, 0, 74).NoteOff(48, 0, 74).End();
        TrackWriter bass;
        bass.Text(0, 0x03, "Bass").NoteOn(192, 1, 36).NoteOff(96, 1, 36).End();
        return smftest::File(1, 96, {conductor, lead, bass});
    }

    sitetest::FakeSiteEngine siteEngine;
    CMfxHostSite* site = nullptr;
    songdoctest::FakeEngine engine;
    CMidiDoc* doc = nullptr;
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answerer};
    fs::path m_path;
};

TEST_F(MidiDocSmfImportTest, ImportAddsTracksPatternsAndMapsAsOneCommandThatUndoesExactly)
{
    BuildSong();
    const SongState before = State();
    int countBefore = 0;
    CUndoHistory::Instance().GetCount(&countBefore);
    answerer->QueueAnswer(IDNO);  // a track per imported pattern

    ASSERT_EQ(S_OK, Import(TwoTrackFile()));
    int count = 0;
    CUndoHistory::Instance().GetCount(&count);
    EXPECT_EQ(countBefore + 1, count);
    EXPECT_EQ(std::string("Import MIDI file \"") + fs::path(m_path).filename().string() + "\"",
              CUndoHistory::Instance().GetCommandName(0));

    const SongState after = State();
    ASSERT_EQ(after.tracks.size(), 3u);
    EXPECT_EQ(after.trackNames[1], "Lead");
    EXPECT_EQ(after.trackNames[2], "Bass");
    ASSERT_EQ(after.instances[1].size(), 1u);
    ASSERT_EQ(after.instances[2].size(), 1u);
    ASSERT_EQ(after.patterns.size(), 3u);
    // Division 96 scales by 10: the lead's notes at 0 and 960, the bass at
    // 1920; each pattern lasts whole 3/4 measures (2880 ticks).
    EXPECT_NE(after.patterns[1].find("Note: t=0, d=960, k=72"), std::string::npos) << after.patterns[1];
    EXPECT_NE(after.patterns[1].find("Note: t=960, d=480, k=74"), std::string::npos) << after.patterns[1];
    EXPECT_NE(after.patterns[1].find(" 2880|"), std::string::npos) << after.patterns[1];
    EXPECT_NE(after.patterns[2].find("Note: t=1920, d=960, k=36"), std::string::npos) << after.patterns[2];
    // The song held an instance: its tempo entries stay, the file's joins.
    EXPECT_EQ(after.tempos, (std::vector<std::pair<LONG, LONG>>{{0, 10000}, {3840, 9000}}));
    ASSERT_EQ(after.meters.size(), 1u);
    EXPECT_EQ(after.meters[0], "0 3/2 0");

    DWORD hint = 0;
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo(&hint));
    EXPECT_EQ(before, State());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo(&hint));
    EXPECT_EQ(after, State());
}

TEST_F(MidiDocSmfImportTest, AnEmptyArrangementStartsFromTheDefaultTempoAndUndoRestoresTheOldMap)
{
    ASSERT_EQ(S_OK, doc->GetTempoMap()->Set(0, CTempo(0, 12000)));
    ASSERT_EQ(S_OK, doc->GetTempoMap()->Insert(1, CTempo(1920, 9000)));
    const SongState before = State();
    TrackWriter notes;
    notes.NoteOn(0, 0, 60).NoteOff(480, 0, 60).End();
    ASSERT_EQ(S_OK, Import(smftest::File(0, 480, {notes})));
    EXPECT_EQ(State().tempos, (std::vector<std::pair<LONG, LONG>>{{0, CTempo::kDefaultTempo}}));
    EXPECT_EQ(doc->GetChannelCount(), 1);

    DWORD hint = 0;
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo(&hint));
    EXPECT_EQ(before, State());
}

TEST_F(MidiDocSmfImportTest, ACombinedImportPutsEveryPatternOnTheFirstNewTrack)
{
    answerer->QueueAnswer(IDYES);
    ASSERT_EQ(S_OK, Import(TwoTrackFile()));
    const SongState after = State();
    ASSERT_EQ(after.tracks.size(), 1u);
    EXPECT_EQ(after.instances[0].size(), 2u);
    EXPECT_EQ(after.patterns.size(), 2u);
}

TEST_F(MidiDocSmfImportTest, ImportedTracksGetTheSynthOfEveryNewTrack)
{
    answerer->QueueAnswer(IDNO);
    ASSERT_EQ(S_OK, Import(TwoTrackFile()));
    ASSERT_EQ(2, doc->GetChannelCount());
    for (int i = 0; i < doc->GetChannelCount(); ++i) {
        CChannel* channel = nullptr;
        ASSERT_EQ(S_OK, doc->GetChannelAt(i, &channel));
        ASSERT_EQ(1, channel->GetSynthCount()) << "track " << i;
        ASSERT_NE(nullptr, channel->GetSynthWrap(0));
        EXPECT_TRUE(IsEqualGUID(CLSID_NullSynth, channel->GetSynthWrap(0)->GetClsid())) << "track " << i;
    }
}

TEST_F(MidiDocSmfImportTest, AFailedImportLeavesTheSongAndHistoryAsTheyWere)
{
    BuildSong();
    const SongState before = State();
    int countBefore = 0;
    CUndoHistory::Instance().GetCount(&countBefore);
    // A good track, then one whose event runs past its chunk.
    TrackWriter good;
    good.Tempo(0, 400000).NoteOn(0, 0, 60).NoteOff(96, 0, 60).End();
    TrackWriter broken;
    broken.NoteOn(0, 0, 60).Raw({0x81});
    answerer->QueueAnswer(IDNO);
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"broken second track", smftest::File(1, 96, {good, good, broken})},
        {"not a MIDI file", Bytes(200, 0x41)},
        {"no file at all", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(FAILED(Import(c.bytes)));
        EXPECT_EQ(before, State());
        int count = 0;
        CUndoHistory::Instance().GetCount(&count);
        EXPECT_EQ(countBefore, count);
    }
    EXPECT_TRUE(FAILED(doc->ImportMidiFile("/nonexistent/folder/song.mid")));
    EXPECT_EQ(before, State());
}

TEST_F(MidiDocSmfImportTest, EditsOutsideAnImportAreRefused)
{
    CPattern* p = nullptr;
    SHORT track = 0;
    ISmfImportDocument& import = *doc;
    EXPECT_EQ(E_UNEXPECTED, import.CreatePattern(&p));
    EXPECT_EQ(E_UNEXPECTED, import.InsertTrack("x", &track));
    EXPECT_EQ(E_UNEXPECTED, import.InsertTempo(0, 12000));
    EXPECT_EQ(E_UNEXPECTED, import.EndImportCommand());
    EXPECT_EQ(0, doc->GetChannelCount());
    EXPECT_EQ(0, doc->GetPatternCount());
}

}  // namespace

namespace {

using MidiDocTimeServicesTest = MidiDocSmfImportTest;

// The document's time services read its maps as they stand: a meter change
// made (and undone) in the document changes what positions mean.
TEST_F(MidiDocTimeServicesTest, FollowTheDocumentsMetersAndTempo)
{
    ISeqUI* time = doc->GetSeqUI();
    ASSERT_NE(nullptr, time);
    EXPECT_EQ(960, time->GetTicksPerQuarter());
    LONG m = 0, b = 0, t = 0;
    ASSERT_EQ(S_OK, time->ParseMbtText("2:5.0", &m, &b, &t));
    EXPECT_EQ((std::vector<LONG>{3, 1, 0}), (std::vector<LONG>{m, b, t}));
    EXPECT_EQ(3840 + 3 * 960, time->MbtToTicks(2, 4, 0));
    EXPECT_EQ(2 * 3840, time->GetNextBeat(3840 + 3 * 960));

    ISmfImportDocument& edit = *doc;
    ASSERT_EQ(S_OK, edit.BeginImportCommand("meter"));
    ASSERT_EQ(S_OK, edit.InsertMeterKey(0, CMeterKey(1, 3, 2)));
    ASSERT_EQ(S_OK, edit.InsertTempo(0, 6000));
    ASSERT_EQ(S_OK, edit.EndImportCommand());
    ASSERT_EQ(S_OK, time->ParseMbtText("2:4.0", &m, &b, &t));
    EXPECT_EQ((std::vector<LONG>{3, 1, 0}), (std::vector<LONG>{m, b, t}));
    EXPECT_EQ(2 * 2880, time->GetNextBeat(2880 + 2 * 960));
    // 60 BPM: a quarter is one second of frames, which convert back to it.
    const LONG frames = time->TicksToFrames(960);
    EXPECT_GT(frames, 0);
    EXPECT_EQ(960, time->FramesToTicks(frames));

    DWORD hint = 0;
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo(&hint));
    ASSERT_EQ(S_OK, time->ParseMbtText("2:4.0", &m, &b, &t));
    EXPECT_EQ((std::vector<LONG>{2, 4, 0}), (std::vector<LONG>{m, b, t}));
    // Back at 140 BPM a quarter takes fewer frames.
    EXPECT_LT(time->TicksToFrames(960), frames);
}

}  // namespace
