#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/IMidiSource.h"
#include "engine/CDataRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "engine/graph/IAudioProperties.h"
#include "engine/mixer/IMfxFilterWrap.h"
#include "engine/mixer/IStepSeqPlugIn.h"
#include "model/CMvCommand.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComStream.h"
#include "platform/res/CScriptedAnswerer.h"
#include "platform/sync/Time.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/MidiEffectBase.h"
#include "tests/model/PatternTestSupport.h"

namespace {

using songdoctest::FakeEngine;
using pattest::Note;

class Listener final : public IDocStateChange {
public:
    HRESULT OnChannelSelected(SHORT id) override { return Note("channel", id); }
    HRESULT OnBusSelected(SHORT id) override { return Note("aux", id); }
    HRESULT OnMainBusSelected(SHORT id) override { return Note("main", id); }
    std::vector<std::string> heard;

private:
    HRESULT Note(const char* kind, SHORT id)
    {
        heard.push_back(std::string(kind) + " " + std::to_string(id));
        return S_OK;
    }
};

class MidiDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        SetSongDocument(doc);
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
    }

    // Channels without synth at the end of the track order; their ids.
    std::vector<SHORT> AddTracks(int n)
    {
        std::vector<SHORT> ids;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(S_OK, doc->InsertChannel(doc->GetChannelCount(), FALSE, &CLSID_NoSynth, "", nullptr));
            ids.push_back(doc->GetChannelIdAt(doc->GetChannelCount() - 1));
        }
        return ids;
    }

    CPattern* AddPattern(SHORT id, std::vector<LONG> noteTimes, LONG duration = 3840)
    {
        CPattern* p = nullptr;
        EXPECT_EQ(S_OK, doc->CreatePattern(id, FALSE, nullptr, &p));
        if (p == nullptr)
            return nullptr;
        p->SetDuration(duration);
        for (LONG t : noteTimes)
            EXPECT_EQ(S_OK, p->InsertEvent(Note(t, 60), FALSE, nullptr, FALSE));
        return p;
    }

    // An instance of the pattern on the track from start to end; its channel.
    CChannel* Place(CPattern* p, SHORT track, LONG start, LONG end)
    {
        CChannel* c = nullptr;
        EXPECT_EQ(S_OK, doc->GetChannel(track, &c));
        CPatternInstance instance(p);
        instance.SetStart(start);
        instance.SetEnd(end);
        EXPECT_EQ(S_OK, c->AddPatternInstance(instance, FALSE, nullptr));
        return c;
    }

    static std::string NewestName() { return CUndoHistory::Instance().GetCommandName(0); }
    static int HistoryCount()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
    static DWORD Undo()
    {
        DWORD hint = 0;
        EXPECT_EQ(S_OK, CUndoHistory::Instance().Undo(&hint));
        return hint;
    }
    static DWORD Redo()
    {
        DWORD hint = 0;
        EXPECT_EQ(S_OK, CUndoHistory::Instance().Redo(&hint));
        return hint;
    }
    std::vector<SHORT> TrackOrder() const
    {
        std::vector<SHORT> ids;
        for (int i = 0; i < doc->GetChannelCount(); ++i)
            ids.push_back(doc->GetChannelIdAt(i));
        return ids;
    }

    FakeEngine engine;
    CMidiDoc* doc = nullptr;
};

// ---- Creation ----

TEST_F(MidiDocTest, NewDocumentIsAttachedEmptyAndSelectsNothing)
{
    EXPECT_EQ(static_cast<ITransportDocument*>(doc), engine.document);
    EXPECT_EQ(0, doc->GetChannelCount());
    EXPECT_EQ(0, doc->GetPatternCount());
    // One master bus, active, and four aux buses with consecutive ids.
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    EXPECT_EQ(main->GetHostId(), doc->GetActiveContainer());
    EXPECT_TRUE(doc->IsMainBusId(main->GetHostId()));
    ASSERT_EQ(CMidiDoc::kAuxBusCount, doc->GetAuxBusCount());
    CAuxBus* first = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(0, &first));
    for (int i = 0; i < CMidiDoc::kAuxBusCount; ++i) {
        CAuxBus* aux = nullptr;
        ASSERT_EQ(S_OK, doc->GetAuxBusAt(i, &aux));
        EXPECT_EQ(first->GetHostId() + i, aux->GetHostId());
        EXPECT_EQ(i, doc->GetAuxBusIndex(aux->GetHostId()));
    }
    // The ranges tell the kinds apart.
    EXPECT_GE(main->GetHostId(), 5000);
    EXPECT_LT(main->GetHostId(), 8000);
    EXPECT_GE(first->GetHostId(), 8000);
    EXPECT_EQ(CMidiDoc::kNone, doc->GetActivePatternIdRaw());
    EXPECT_EQ(ISongDocument::kNoInstance, doc->GetActiveInstance());
    EXPECT_EQ(960, doc->GetTicksPerQuarter());
    // Init starts the patterns of a new song at 0.
    EXPECT_EQ(0, CMidiDoc::GetPatternIdCounter());

    CMidiDoc::DestroyMidiDoc(doc);
    EXPECT_EQ(nullptr, doc);
    EXPECT_EQ(nullptr, engine.document);
    EXPECT_EQ(E_INVALIDARG, CMidiDoc::DestroyMidiDoc(doc));
}

TEST_F(MidiDocTest, CreationRefusesNullOutAndAnEngineWithoutMidiSourceOrGraph)
{
    EXPECT_EQ(E_POINTER, CMidiDoc::CreateMidiDoc(&engine, nullptr));
    FakeEngine noSource;
    noSource.midiSource = nullptr;
    CMidiDoc* other = reinterpret_cast<CMidiDoc*>(1);
    EXPECT_EQ(E_UNEXPECTED, CMidiDoc::CreateMidiDoc(&noSource, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(E_UNEXPECTED, CMidiDoc::CreateMidiDoc(nullptr, &other));
}

// ---- Identifiers ----

TEST_F(MidiDocTest, IdCountersSkipNoneAndIdsInUse)
{
    CMidiDoc::SetChannelIdCounter(static_cast<SHORT>(0xFFFE));
    const std::vector<SHORT> ids = AddTracks(2);
    EXPECT_EQ(static_cast<SHORT>(0xFFFE), ids[0]);
    // 0xFFFF is "none": the next channel takes 0.
    EXPECT_EQ(0, ids[1]);

    // A loaded project whose stored counter lags behind its channels.
    CMidiDoc::SetChannelIdCounter(static_cast<SHORT>(0xFFFE));
    EXPECT_EQ(1, doc->NextChannelId());

    AddPattern(3, {});
    CMidiDoc::SetPatternIdCounter(3);
    EXPECT_EQ(4, doc->NextPatternId());
    CMidiDoc::SetChannelIdCounter(1000);
}

// ---- Channel insertion ----

TEST_F(MidiDocTest, InsertChannelIsUndoableAndMakesTheNewTrackActive)
{
    Listener listener;
    ASSERT_EQ(S_OK, doc->AddStateListener(&listener));
    EXPECT_EQ(S_FALSE, doc->AddStateListener(&listener));

    const SHORT first = AddTracks(1)[0];
    ASSERT_EQ(S_OK, doc->InsertChannel(0, TRUE, &CLSID_NoSynth, "", nullptr));
    const SHORT second = doc->GetChannelIdAt(0);
    EXPECT_EQ("Insert Track 1", NewestName());
    EXPECT_EQ(std::vector<SHORT>({second, first}), TrackOrder());
    EXPECT_EQ(second, doc->GetActiveContainer());

    // Appending at the track count puts it last.
    ASSERT_EQ(S_OK, doc->InsertChannel(2, TRUE, &CLSID_NoSynth, "", nullptr));
    const SHORT third = doc->GetChannelIdAt(2);
    EXPECT_EQ("Insert Track 3", NewestName());
    EXPECT_EQ(third, doc->GetActiveContainer());

    EXPECT_EQ(CMidiDoc::kHintInsertTrack, Undo());
    EXPECT_EQ(std::vector<SHORT>({second, first}), TrackOrder());
    EXPECT_EQ(second, doc->GetActiveContainer());
    CChannel* gone = nullptr;
    EXPECT_EQ(E_INVALIDARG, doc->GetChannel(third, &gone));
    Redo();
    EXPECT_EQ(std::vector<SHORT>({second, first, third}), TrackOrder());
    EXPECT_TRUE(doc->GetGraphDirty());

    // Each switch between channels reached the listener once.
    EXPECT_FALSE(listener.heard.empty());
    EXPECT_EQ("channel " + std::to_string(third), listener.heard.back());
    EXPECT_EQ(S_OK, doc->RemoveStateListener(&listener));
    EXPECT_EQ(S_FALSE, doc->RemoveStateListener(&listener));
}

TEST_F(MidiDocTest, InsertChannelRefusesBadPositionsAndTheChannelPastTheMaximum)
{
    EXPECT_EQ(E_INVALIDARG, doc->InsertChannel(-1, TRUE, &CLSID_NoSynth, "", nullptr));
    EXPECT_EQ(E_INVALIDARG, doc->InsertChannel(1, TRUE, &CLSID_NoSynth, "", nullptr));
    AddTracks(CMidiDoc::kMaxChannels);
    EXPECT_EQ(CMidiDoc::kMaxChannels, doc->GetChannelCount());
    EXPECT_EQ(E_UNEXPECTED, doc->InsertChannel(0, TRUE, &CLSID_NoSynth, "", nullptr));
    EXPECT_EQ(CMidiDoc::kMaxChannels, doc->GetChannelCount());
    EXPECT_EQ(0, HistoryCount());
}

TEST_F(MidiDocTest, FailedInsertIntoAnAbortedCommandLeavesNothingAndDestroysTheChannelOnce)
{
    CMvCommand* outer = BeginProjectCommand(doc->AsCommandDocument(), "outer", 0, TRUE, TRUE);
    ASSERT_NE(nullptr, outer);
    outer->Abort();
    EXPECT_EQ(E_ABORT, doc->InsertChannel(0, TRUE, &CLSID_NoSynth, "", outer));
    EXPECT_EQ(0, doc->GetChannelCount());
    EXPECT_EQ(doc->Channels().end(), doc->Channels().begin());
    outer->AbortAndDelete();
    EXPECT_EQ(0, HistoryCount());
}

// ---- Channel edits ----

TEST_F(MidiDocTest, RenamingATrackIsUndoableUnderItsNumberedName)
{
    const SHORT id = AddTracks(2)[0];
    EXPECT_EQ(E_INVALIDARG, doc->SetChannelName(2, "Lead", TRUE));
    ASSERT_EQ(S_OK, doc->SetChannelName(0, "Bass", TRUE));
    EXPECT_EQ("Change Track 1 Name to \"Bass\"", NewestName());
    CChannel* c = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannel(id, &c));
    EXPECT_STREQ("Bass", c->GetDisplayName().GetString());
    EXPECT_EQ(CMidiDoc::kHintTrackName, Undo());
    EXPECT_STREQ("Track Name", c->GetDisplayName().GetString());
    Redo();
    EXPECT_STREQ("Bass", c->GetDisplayName().GetString());

    // Without a command the change stays and the history does not grow.
    const int before = HistoryCount();
    ASSERT_EQ(S_OK, doc->SetChannelName(0, "Keys", FALSE));
    EXPECT_STREQ("Keys", c->GetDisplayName().GetString());
    EXPECT_EQ(before, HistoryCount());
}

TEST_F(MidiDocTest, ParameterSetWithoutCommandChangesTheValueOnly)
{
    const SHORT id = AddTracks(1)[0];
    CChannel* c = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannel(id, &c));
    const int before = HistoryCount();
    ASSERT_EQ(S_OK, doc->SetChannelParam(id, CChannel::kMuteIndex, 1.0f, FALSE));
    EXPECT_TRUE(c->IsOutputMuted(0));
    EXPECT_EQ(before, HistoryCount());
    EXPECT_EQ(E_INVALIDARG, doc->SetChannelParam(static_cast<SHORT>(4242), CChannel::kMuteIndex, 1.0f, TRUE));

    ASSERT_EQ(S_OK, doc->SetChannelParam(id, CChannel::kMuteIndex, 0.0f, TRUE));
    EXPECT_FALSE(c->IsOutputMuted(0));
    EXPECT_EQ(0u, NewestName().rfind("Set Track 1 ", 0));
    Undo();
    EXPECT_TRUE(c->IsOutputMuted(0));
}

TEST_F(MidiDocTest, DeletingTheActiveTrackSelectsItsNeighbourAndUndoBringsItBack)
{
    const std::vector<SHORT> ids = AddTracks(3);
    struct Case {
        const char* name;
        int position;
        SHORT nextActive;
    };
    const Case cases[] = {
        {"middle selects the one after", 1, ids[2]},
        {"last selects the one before", 2, ids[1]},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, doc->SetActiveChannelAt(c.position, nullptr));
        ASSERT_EQ(S_OK, doc->DeleteChannel(ids[c.position], TRUE));
        EXPECT_EQ("Delete Track " + std::to_string(c.position + 1), NewestName());
        EXPECT_EQ(c.nextActive, doc->GetActiveContainer());
        EXPECT_EQ(2, doc->GetChannelCount());
        EXPECT_EQ(CMidiDoc::kHintDeleteTrack, Undo());
        EXPECT_EQ(ids, TrackOrder());
        EXPECT_EQ(ids[c.position], doc->GetActiveContainer());
    }
    EXPECT_EQ(E_INVALIDARG, doc->DeleteChannel(static_cast<SHORT>(4242), TRUE));

    // The only track gone: the master bus is active.
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    ASSERT_EQ(S_OK, doc->DeleteChannel(ids[0], FALSE));
    ASSERT_EQ(S_OK, doc->DeleteChannel(ids[2], FALSE));
    ASSERT_EQ(S_OK, doc->SetActiveChannelAt(0, nullptr));
    ASSERT_EQ(S_OK, doc->DeleteChannel(ids[1], TRUE));
    EXPECT_EQ(main->GetHostId(), doc->GetActiveContainer());
    Undo();
    EXPECT_EQ(ids[1], doc->GetActiveContainer());

    // Redo after undo removes it again; the step owns it until the
    // history lets it go.
    CUndoHistory::Instance().Clear();
}

TEST_F(MidiDocTest, MovingATrackIsOneUndoableCommand)
{
    const std::vector<SHORT> ids = AddTracks(3);
    EXPECT_EQ(E_INVALIDARG, doc->MoveChannel(0, 3));
    ASSERT_EQ(S_OK, doc->MoveChannel(0, 2));
    EXPECT_EQ("MoveTrack 1 to 3", NewestName());
    EXPECT_EQ(std::vector<SHORT>({ids[1], ids[2], ids[0]}), TrackOrder());
    EXPECT_EQ(CMidiDoc::kHintMoveTrack, Undo());
    EXPECT_EQ(ids, TrackOrder());
}

TEST_F(MidiDocTest, BusParametersAreUndoableUnderTheirNumberedNames)
{
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(2, &aux));
    ASSERT_EQ(S_OK, doc->SetAuxBusParam(static_cast<WORD>(aux->GetHostId()), CMixBus::kMuteIndex, 1.0f));
    EXPECT_EQ(0u, NewestName().rfind("Set Aux Bus 3 ", 0));
    EXPECT_TRUE(aux->IsMuted());
    doc->InvalidateMuteState();
    EXPECT_FALSE(doc->IsNoTrackMuted());
    EXPECT_EQ(CMidiDoc::kHintAuxBus, Undo());
    EXPECT_FALSE(aux->IsMuted());
    EXPECT_EQ(E_INVALIDARG, doc->SetAuxBusParam(4242, CMixBus::kMuteIndex, 1.0f));

    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    ASSERT_EQ(S_OK, doc->SetMainBusParam(CMixBus::kMuteIndex, 1.0f));
    EXPECT_EQ(0u, NewestName().rfind("Set Master Bus ", 0));
    EXPECT_TRUE(main->IsMuted());
    ASSERT_EQ(S_OK, doc->ClearAllMutes());
    EXPECT_FALSE(main->IsMuted());
}

// ---- Pattern edits ----

TEST_F(MidiDocTest, CreatingAndDeletingPatternsIsUndoable)
{
    ASSERT_EQ(S_OK, doc->CreatePattern(5, TRUE, nullptr));
    EXPECT_EQ("Create Pattern \"Pat 6\"", NewestName());
    EXPECT_EQ(E_INVALIDARG, doc->CreatePattern(5, TRUE, nullptr));
    CPattern* p = nullptr;
    ASSERT_EQ(S_OK, doc->GetPatternAt(0, &p));
    EXPECT_EQ(5, p->GetId());

    // An instance of it on a track goes with it.
    const SHORT track = AddTracks(1)[0];
    CChannel* c = Place(p, track, 0, 960);
    ASSERT_NE(nullptr, c);
    int uses = 0;
    ASSERT_EQ(S_OK, doc->CountPatternUses(5, &uses));
    EXPECT_EQ(1, uses);
    ASSERT_EQ(S_OK, doc->SetActivePattern(5, nullptr));

    ASSERT_EQ(S_OK, doc->DeletePattern(5, TRUE, nullptr));
    EXPECT_EQ("Delete Pattern \"Pat 6\"", NewestName());
    EXPECT_FALSE(doc->HasPattern(5));
    EXPECT_EQ(CMidiDoc::kNone, doc->GetActivePatternIdRaw());
    ASSERT_EQ(S_OK, doc->CountPatternUses(5, &uses));
    EXPECT_EQ(0, uses);

    EXPECT_EQ(CMidiDoc::kHintPatternList, Undo());
    EXPECT_TRUE(doc->HasPattern(5));
    ASSERT_EQ(S_OK, doc->CountPatternUses(5, &uses));
    EXPECT_EQ(1, uses);
    EXPECT_EQ(5, doc->GetActivePatternIdRaw());
    EXPECT_EQ(S_OK, doc->RecalcSongLength());
    EXPECT_EQ(960, doc->GetSongEnd());
    EXPECT_EQ(E_INVALIDARG, doc->DeletePattern(77, TRUE, nullptr));
}

TEST_F(MidiDocTest, DuplicateNamesTheCopyPastTakenNamesCaseSensitively)
{
    CPattern* bass = AddPattern(1, {0, 480});
    bass->SetName("Bass");
    CPattern* taken = AddPattern(2, {});
    taken->SetName("Copy of Bass");
    CPattern* otherCase = AddPattern(3, {});
    otherCase->SetName("copy of Bass");

    ASSERT_EQ(S_OK, doc->DuplicatePattern(1, 10, TRUE, nullptr));
    EXPECT_EQ("Duplicate Pattern Bass", NewestName());
    CPattern* copy = nullptr;
    ASSERT_EQ(S_OK, doc->GetPattern(10, &copy));
    EXPECT_STREQ("Copy(2) of Bass", copy->GetName().GetString());
    EXPECT_EQ(2, copy->GetSize());
    EXPECT_EQ(bass->GetDuration(), copy->GetDuration());
    EXPECT_EQ(E_INVALIDARG, doc->DuplicatePattern(1, 10, TRUE, nullptr));
    EXPECT_EQ(E_INVALIDARG, doc->DuplicatePattern(99, 11, TRUE, nullptr));

    Undo();
    EXPECT_FALSE(doc->HasPattern(10));
    Redo();
    ASSERT_EQ(S_OK, doc->GetPattern(10, &copy));
    EXPECT_EQ(2, copy->GetSize());
}

TEST_F(MidiDocTest, MergeAndAppendPlaceTheSourcesAndSetTheDuration)
{
    struct Case {
        const char* name;
        BOOL append;
        LONG duration;
        LONG firstTime;
        const char* undoName;
    };
    const Case cases[] = {
        {"merge at the edit marker", FALSE, 4800, 1920, "Merge Multiple Patterns Into Pattern Target"},
        {"append after the end", TRUE, 6720, 3840, "Append Multiple Patterns Into Pattern Target"},
    };
    AddPattern(1, {0}, 960);
    AddPattern(2, {0}, 2880);
    CPattern* target = AddPattern(3, {}, 3840);
    target->SetName("Target");
    target->SetEditMarker(1920);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, doc->MergePatterns({1, 2}, 3, c.append, nullptr));
        EXPECT_EQ(c.undoName, NewestName());
        EXPECT_EQ(c.duration, target->GetDuration());
        ASSERT_EQ(2, target->GetSize());
        EXPECT_EQ(c.firstTime, target->GetEvents()[0].m_time);
        EXPECT_EQ(c.firstTime, target->GetEvents()[1].m_time);
        EXPECT_EQ(CMidiDoc::kHintMergePatterns, Undo());
        EXPECT_EQ(0, target->GetSize());
        EXPECT_EQ(3840, target->GetDuration());
    }
}

TEST_F(MidiDocTest, MergingATargetIntoItselfCopiesItsEventsOnce)
{
    CPattern* p = AddPattern(1, {0, 480}, 960);
    p->SetName("Loop");
    ASSERT_EQ(S_OK, doc->MergePatterns({1}, 1, TRUE, nullptr));
    EXPECT_EQ("Append \"Loop\" To \"Loop\"", NewestName());
    ASSERT_EQ(4, p->GetSize());
    EXPECT_EQ(1440, p->GetEvents()[3].m_time);
    EXPECT_EQ(1920, p->GetDuration());
}

TEST_F(MidiDocTest, MergeRefusesUnusableSourcesAndUnknownIds)
{
    AddPattern(1, {}, 960);
    CPattern* clip = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(2, FALSE, nullptr, &clip, TRUE));
    AddPattern(3, {0}, 960);
    const int before = HistoryCount();
    EXPECT_EQ(E_INVALIDARG, doc->MergePatterns({1, 2}, 3, FALSE, nullptr));
    EXPECT_EQ(E_INVALIDARG, doc->MergePatterns({3, 42}, 3, FALSE, nullptr));
    EXPECT_EQ(E_INVALIDARG, doc->MergePatterns({3}, 42, FALSE, nullptr));
    EXPECT_EQ(before, HistoryCount());
}

TEST_F(MidiDocTest, SplitCopiesTheRangeIntoANewActivePattern)
{
    CPattern* source = AddPattern(1, {0, 1000, 1500, 2000}, 3840);
    source->SetName("Drums");
    const int patterns = doc->GetPatternCount();
    EXPECT_EQ(E_FAIL, doc->SplitPattern(source, 2400, 3000, 600));
    EXPECT_EQ(patterns, doc->GetPatternCount());
    EXPECT_EQ(E_INVALIDARG, doc->SplitPattern(source, 960, 960, 600));

    SHORT id = CMidiDoc::kNone;
    ASSERT_EQ(S_OK, doc->SplitPattern(source, 960, 1920, 960, &id));
    EXPECT_EQ("Split Off From Pattern Drums", NewestName());
    CPattern* part = nullptr;
    ASSERT_EQ(S_OK, doc->GetPattern(id, &part));
    ASSERT_EQ(2, part->GetSize());
    EXPECT_EQ(40, part->GetEvents()[0].m_time);
    EXPECT_EQ(540, part->GetEvents()[1].m_time);
    EXPECT_EQ(960, part->GetDuration());
    EXPECT_STREQ("Split of Drums", part->GetName().GetString());
    EXPECT_EQ(id, doc->GetActivePatternIdRaw());
    EXPECT_EQ(4, source->GetSize());

    EXPECT_EQ(CMidiDoc::kHintCreatePattern, Undo());
    EXPECT_FALSE(doc->HasPattern(id));
    EXPECT_EQ(CMidiDoc::kNone, doc->GetActivePatternIdRaw());
}

TEST_F(MidiDocTest, PatternAttributesAreOneCommandNamedAfterWhatChanged)
{
    CPattern* p = AddPattern(1, {}, 960);
    const LONG duration = 1920;
    const DWORD swingOff = 0;
    const DWORD swingOn = 1;
    const LONG marker = 480;
    struct Case {
        const char* name;
        const char* newName;
        const LONG* duration;
        const DWORD* swing;
        const LONG* marker;
    };
    const Case cases[] = {
        {"Set Pattern Name to \"Hats\"", "Hats", nullptr, nullptr, nullptr},
        {"Change Pattern Duration", nullptr, &duration, nullptr, nullptr},
        {"Enable Pattern Swing", nullptr, nullptr, &swingOn, nullptr},
        {"Disable Pattern Swing", nullptr, nullptr, &swingOff, nullptr},
        {"Change Pattern Edit Marker", nullptr, nullptr, nullptr, &marker},
        {"Change Pattern Attributes", "Ride", nullptr, &swingOn, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, doc->SetPatternAttributes(1, c.newName, c.duration, c.swing, c.marker, nullptr));
        EXPECT_EQ(c.name, NewestName());
    }
    EXPECT_STREQ("Ride", p->GetName().GetString());
    EXPECT_EQ(1u, p->GetSwing());
    EXPECT_EQ(CMidiDoc::kHintPatternAttributes, Undo());
    EXPECT_STREQ("Hats", p->GetName().GetString());
    EXPECT_EQ(0u, p->GetSwing());
    EXPECT_EQ(1920, p->GetDuration());
    EXPECT_EQ(480, p->GetEditMarker());

    EXPECT_EQ(E_INVALIDARG, doc->SetPatternAttributes(1, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, doc->SetPatternAttributes(CMidiDoc::kNone, "x", nullptr, nullptr, nullptr, nullptr));
}

// ---- Active ids ----

TEST_F(MidiDocTest, ActiveContainerTellsListenersOncePerChangeAndRefusesUnknownIds)
{
    const std::vector<SHORT> ids = AddTracks(2);
    Listener listener;
    doc->AddStateListener(&listener);
    ASSERT_EQ(S_OK, doc->SetActiveContainer(ids[0], FALSE, nullptr));
    EXPECT_EQ(std::vector<std::string>({"channel " + std::to_string(ids[0])}), listener.heard);
    listener.heard.clear();
    // The id already active: nothing unless forced.
    ASSERT_EQ(S_OK, doc->SetActiveContainer(ids[0], FALSE, nullptr));
    EXPECT_TRUE(listener.heard.empty());
    ASSERT_EQ(S_OK, doc->SetActiveContainer(ids[0], TRUE, nullptr));
    EXPECT_EQ(1u, listener.heard.size());

    // From a channel to an aux bus the listener hears twice, as a view that
    // switches panels needs; back to a channel, too.
    listener.heard.clear();
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(1, &aux));
    ASSERT_EQ(S_OK, doc->SetActiveContainer(aux->GetHostId(), FALSE, nullptr));
    const std::string auxHeard = "aux " + std::to_string(aux->GetHostId());
    EXPECT_EQ(std::vector<std::string>({auxHeard, auxHeard}), listener.heard);
    listener.heard.clear();
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    ASSERT_EQ(S_OK, doc->SetActiveContainer(main->GetHostId(), FALSE, nullptr));
    EXPECT_EQ(2u, listener.heard.size());
    EXPECT_EQ("main " + std::to_string(main->GetHostId()), listener.heard.back());
    ASSERT_EQ(S_OK, doc->SetActiveContainer(ids[0], FALSE, nullptr));

    // Ids that name no container change nothing and make no step.
    CMvCommand* command = BeginProjectCommand(doc->AsCommandDocument(), "select", 0, TRUE, TRUE);
    for (SHORT bad : {CMidiDoc::kNone, static_cast<SHORT>(4242)}) {
        EXPECT_EQ(E_INVALIDARG, doc->SetActiveContainer(bad, TRUE, command));
        EXPECT_EQ(ids[0], doc->GetActiveContainer());
    }
    EXPECT_EQ(0, command->GetStepCount());
    command->AbortAndDelete();
    doc->RemoveStateListener(&listener);
}

TEST_F(MidiDocTest, ActiveInstanceSelectsItsPatternAndMustExist)
{
    CPattern* p = AddPattern(7, {0});
    const SHORT track = AddTracks(1)[0];
    CChannel* c = Place(p, track, 0, 960);
    ASSERT_NE(nullptr, c);
    std::vector<CPatternInstance*> placed;
    c->GetTimeline().GetPatternInstances(&placed);
    ASSERT_EQ(1u, placed.size());
    const DWORD iid = placed[0]->GetInstanceId();

    EXPECT_EQ(E_UNEXPECTED, doc->SetActiveInstance(iid + 0x10000, nullptr));
    ASSERT_EQ(S_OK, doc->SetActiveInstance(iid, nullptr));
    EXPECT_EQ(iid, doc->GetActiveInstance());
    EXPECT_EQ(7, doc->GetActivePatternIdRaw());
    // The channel holding it previews it.
    EXPECT_EQ(1, c->GetPreviewCount());
    CChannel* holder = nullptr;
    EXPECT_EQ(S_OK, doc->FindInstance(iid, &holder, nullptr));
    EXPECT_EQ(c, holder);
    EXPECT_EQ(E_INVALIDARG, doc->FindInstance(iid, nullptr, nullptr));
}

// ---- Mixer-state caches ----

TEST_F(MidiDocTest, MixerStatesAreCachedUntilInvalidatedAndClearedInBulk)
{
    const std::vector<SHORT> ids = AddTracks(2);
    CChannel* c = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannel(ids[1], &c));
    EXPECT_TRUE(doc->IsNoTrackMuted());
    EXPECT_TRUE(doc->IsNoChannelSoloed());
    EXPECT_TRUE(doc->IsNoChannelArmed());

    // Set behind the caches' back: the cached answers stand until invalidated.
    c->SetArmed(1);
    EXPECT_TRUE(doc->IsNoChannelArmed());
    doc->OnArmChanged();
    EXPECT_FALSE(doc->IsNoChannelArmed());
    ASSERT_EQ(S_OK, doc->DisarmAllChannels());
    EXPECT_TRUE(doc->IsNoChannelArmed());

    ASSERT_EQ(S_OK, doc->SetChannelParam(ids[1], CChannel::kMuteIndex, 1.0f, FALSE));
    doc->InvalidateMuteState();
    EXPECT_FALSE(doc->IsNoTrackMuted());
    ASSERT_EQ(S_OK, c->SetOutputSolo(0, TRUE));
    doc->InvalidateSoloState();
    EXPECT_FALSE(doc->IsNoChannelSoloed());

    ASSERT_EQ(S_OK, doc->ClearAllMutes());
    ASSERT_EQ(S_OK, doc->ClearAllSolos());
    doc->InvalidateMuteState();
    doc->InvalidateSoloState();
    EXPECT_TRUE(doc->IsNoTrackMuted());
    EXPECT_TRUE(doc->IsNoChannelSoloed());
}

TEST_F(MidiDocTest, CloneNeedsAnActiveChannelWithASynth)
{
    EXPECT_EQ(E_UNEXPECTED, doc->CloneActiveChannel(TRUE, nullptr));
    AddTracks(1);
    // The active channel has no synth to clone.
    EXPECT_EQ(E_UNEXPECTED, doc->CloneActiveChannel(TRUE, nullptr));
    EXPECT_EQ(1, doc->GetChannelCount());
    EXPECT_EQ(0, HistoryCount());
}

TEST_F(MidiDocTest, RecordedAutomationGoesIntoTheActivePatternOfTheChannelHoldingTheActiveInstance)
{
    CPattern* p = AddPattern(7, {});
    const SHORT track = AddTracks(1)[0];
    CChannel* c = Place(p, track, 0, 960);
    ASSERT_NE(nullptr, c);

    EXPECT_EQ(E_UNEXPECTED, doc->RecordParamAutomation(track, {1, 2, 3}, {0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(E_INVALIDARG, doc->RecordParamAutomation(track, {}, {}));
    EXPECT_EQ(E_INVALIDARG, doc->GetAutomationPattern(track, nullptr, nullptr));

    // Each kind of container labels its own automation pattern.
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(1, &aux));
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    struct Case {
        SHORT id;
        const char* label;
    };
    for (const Case& k : {Case{track, " - Track 1"}, Case{aux->GetHostId(), " - Aux 2"},
                          Case{main->GetHostId(), " - Master Bus"}}) {
        SCOPED_TRACE(k.label);
        CPattern* own = nullptr;
        CString label;
        ASSERT_EQ(S_OK, doc->GetAutomationPattern(k.id, &own, &label));
        ASSERT_NE(nullptr, own);
        const std::string text = label.GetString();
        EXPECT_EQ(k.label, text.substr(text.size() - std::string(k.label).size()));
    }
    CPattern* none = nullptr;
    EXPECT_EQ(E_UNEXPECTED, doc->GetContainerPattern(4242, &none, nullptr));

    // Without an active instance: the channel's own automation pattern.
    ASSERT_EQ(S_OK, doc->RecordParamAutomation(track, {5}, {0.5f}));
    EXPECT_EQ(1, c->GetAutomationPattern()->GetSize());
    EXPECT_EQ(0, p->GetSize());

    std::vector<CPatternInstance*> placed;
    c->GetTimeline().GetPatternInstances(&placed);
    ASSERT_EQ(S_OK, doc->SetActiveInstance(placed[0]->GetInstanceId(), nullptr));
    ASSERT_EQ(S_OK, doc->RecordParamAutomation(track, {5, 6}, {0.25f, 0.75f}));
    ASSERT_EQ(2, p->GetSize());
    // A copy: the event's fields are packed.
    const DWORD param = p->GetEvents()[1].m_automation.param;
    EXPECT_EQ(6u, param);
    EXPECT_FLOAT_EQ(0.75f, p->GetEvents()[1].m_value);
}

// ---- Settings ----

TEST_F(MidiDocTest, ShuffleAcceptsZeroToOneInclusive)
{
    AddTracks(1);
    struct Case {
        float amount;
        HRESULT expected;
    };
    for (const Case& c : {Case{1.0f, S_OK}, Case{0.0f, S_OK}, Case{1.0001f, E_INVALIDARG},
                          Case{-0.0001f, E_INVALIDARG}}) {
        SCOPED_TRACE(c.amount);
        EXPECT_EQ(c.expected, doc->SetShuffleAmount(c.amount));
    }
    EXPECT_EQ(0.0, doc->GetShuffleAmount());
}

TEST_F(MidiDocTest, SplitPatternIdsByUseWithoutChannelsScrapsEveryPattern)
{
    AddPattern(1, {});
    AddPattern(2, {});
    std::set<SHORT> used, scrap;
    ASSERT_EQ(S_OK, doc->SplitPatternIdsByUse(&used, &scrap));
    EXPECT_TRUE(used.empty());
    EXPECT_EQ(std::set<SHORT>({1, 2}), scrap);
    EXPECT_EQ(E_POINTER, doc->SplitPatternIdsByUse(&used, nullptr));
}

// ---- Graph upkeep ----

TEST_F(MidiDocTest, WithoutChannelsTheGraphHoldsTheDisabledLoneSourceUntilATrackIsAdded)
{
    // The buses marked the new document's graph dirty.
    ASSERT_TRUE(doc->GetGraphDirty());
    ASSERT_EQ(S_OK, doc->RebuildGraph());
    EXPECT_FALSE(doc->GetGraphDirty());
    EXPECT_EQ(1, engine.resyncs);
    ASSERT_NE(nullptr, doc->GetLoneSource());
    EXPECT_TRUE(doc->GetLoneSource()->IsConnected());
    EXPECT_TRUE(engine.posted.empty());

    // Clean: nothing is touched.
    EXPECT_EQ(S_FALSE, doc->RebuildGraph());
    EXPECT_EQ(1, engine.resyncs);

    AddTracks(1);
    ASSERT_TRUE(doc->GetGraphDirty());
    ASSERT_EQ(S_OK, doc->RebuildGraph());
    EXPECT_EQ(nullptr, doc->GetLoneSource());
    EXPECT_FALSE(doc->IsRoutingChanged());
}

TEST_F(MidiDocTest, DataRendererReachesTheDocumentsChannelsAndBuses)
{
    CDataRenderer renderer;
    renderer.SetDocument(doc);
    // Buses alone: every broadcast goes through.
    EXPECT_EQ(S_OK, renderer.Locate(0));
    EXPECT_TRUE(SUCCEEDED(renderer.Start(0)));
    EXPECT_TRUE(SUCCEEDED(renderer.Render(0, 64)));
    EXPECT_TRUE(SUCCEEDED(renderer.Loop(0, 3840)));
    EXPECT_TRUE(SUCCEEDED(renderer.Stop(64)));

    // A track without synth cannot start: its failure ends the broadcast.
    AddTracks(2);
    EXPECT_EQ(S_OK, renderer.Locate(960));
    EXPECT_TRUE(SUCCEEDED(renderer.BeginSpan(960)));
    EXPECT_TRUE(SUCCEEDED(renderer.Render(960, 1024)));
    EXPECT_EQ(S_OK, renderer.SetRecording(TRUE));
    EXPECT_EQ(E_UNEXPECTED, renderer.Start(960));
}

TEST_F(MidiDocTest, KeepObjectAliveHoldsEachFilterOnceUntilTheRebuild)
{
    CDxSource* source = nullptr;
    ASSERT_EQ(S_OK, engine.graph->CreateSource(&source));
    EXPECT_EQ(E_INVALIDARG, doc->KeepObjectAlive(nullptr));
    EXPECT_EQ(S_OK, doc->KeepObjectAlive(static_cast<IBaseFilter*>(source)));
    EXPECT_EQ(E_UNEXPECTED, doc->KeepObjectAlive(static_cast<IBaseFilter*>(source)));
    // The set's reference: one beyond ours.
    source->AddRef();
    EXPECT_EQ(2u, source->Release());
    source->Release();
}

TEST_F(MidiDocTest, AStagedMeterChangeIsWrittenLiveOnlyWhenCommitted)
{
    const CMeterKeySigMap& map = doc->GetMeterKeyMap();
    ASSERT_EQ(S_OK, doc->StageMeterKey(3840, CMeterKey(2, 3, 2)));
    EXPECT_EQ(4, map[map.FindIndexAtTick(3840)].m_numerator) << "staged only";
    EXPECT_EQ(S_OK, doc->CommitStagedMeterKey(TRUE));
    EXPECT_EQ(4, map[map.FindIndexAtTick(3840)].m_numerator) << "a discarding commit writes nothing";
    ASSERT_EQ(S_OK, doc->CommitStagedMeterKey(FALSE));
    EXPECT_EQ(3, map[map.FindIndexAtTick(3840)].m_numerator);
    EXPECT_TRUE(map.HoldsReplacedEntry()) << "a live change of the entry in force, without undo";
    int steps = -1;
    CUndoHistory::Instance().GetCount(&steps);
    EXPECT_EQ(0, steps);

    // A change staged over another writes that one first.
    ASSERT_EQ(S_OK, doc->StageMeterKey(3840, CMeterKey(2, 5, 3)));
    ASSERT_EQ(S_OK, doc->StageMeterKey(3840, CMeterKey(2, 7, 3)));
    EXPECT_EQ(5, map[map.FindIndexAtTick(3840)].m_numerator);
    ASSERT_EQ(S_OK, doc->CommitStagedMeterKey(FALSE));
    EXPECT_EQ(7, map[map.FindIndexAtTick(3840)].m_numerator);
    EXPECT_EQ(S_OK, doc->CommitStagedMeterKey(FALSE)) << "nothing staged any more";
}

// ---- Mixer names, marks, selections and previews ----

TEST_F(MidiDocTest, RenamingAnAuxBusIsUndoableAndBusParametersMayStayOutOfTheHistory)
{
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(1, &aux));
    EXPECT_EQ(E_INVALIDARG, doc->SetAuxBusName(CMidiDoc::kAuxBusCount, "Room", TRUE));
    EXPECT_EQ(E_INVALIDARG, doc->SetAuxBusName(-1, "Room", TRUE));
    ASSERT_EQ(S_OK, doc->SetAuxBusName(1, "Reverb", TRUE));
    EXPECT_EQ("Change Aux Bus 2 Name to \"Reverb\"", NewestName());
    EXPECT_STREQ("Reverb", aux->GetDisplayName().GetString());
    EXPECT_EQ(CMidiDoc::kHintAuxBus, Undo());
    EXPECT_STREQ("Aux 2", aux->GetDisplayName().GetString());
    Redo();
    EXPECT_STREQ("Reverb", aux->GetDisplayName().GetString());

    // Without a command each change stays and the history does not grow.
    const int before = HistoryCount();
    ASSERT_EQ(S_OK, doc->SetAuxBusName(1, "Hall", FALSE));
    EXPECT_STREQ("Hall", aux->GetDisplayName().GetString());
    ASSERT_EQ(S_OK, doc->SetAuxBusParam(aux->GetHostId(), CMixBus::kMuteIndex, 1.0f, FALSE));
    EXPECT_TRUE(aux->IsMuted());
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    ASSERT_EQ(S_OK, doc->SetMainBusParam(CMixBus::kMuteIndex, 1.0f, FALSE));
    EXPECT_TRUE(main->IsMuted());
    EXPECT_EQ(before, HistoryCount());
    EXPECT_EQ(E_INVALIDARG, doc->SetAuxBusParam(static_cast<SHORT>(4242), CMixBus::kMuteIndex, 1.0f, FALSE));
}

TEST_F(MidiDocTest, MarkedIdsListTheActiveChannelFirstThenByIdAndClearTrackFlagsUnmarksThem)
{
    std::vector<SHORT> ids;
    EXPECT_EQ(S_FALSE, doc->GetMarkedChannelIds(&ids)) << "no channel";
    const std::vector<SHORT> tracks = AddTracks(3);
    CChannel* c = nullptr;
    for (SHORT t : {tracks[0], tracks[2]}) {
        ASSERT_EQ(S_OK, doc->GetChannel(t, &c));
        c->SetArmed(1);
    }
    ASSERT_EQ(S_OK, doc->SetActiveContainer(tracks[2], FALSE, nullptr));
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(3, &aux));
    aux->SetTrackFlag(1);
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    main->SetTrackFlag(1);

    ASSERT_EQ(S_OK, doc->GetMarkedChannelIds(&ids));
    EXPECT_EQ((std::vector<SHORT>{tracks[2], tracks[0]}), ids);
    EXPECT_EQ(E_UNEXPECTED, doc->GetMarkedContainerIds(&ids)) << "the vector must come empty";
    ids.clear();
    ASSERT_EQ(S_OK, doc->GetMarkedContainerIds(&ids));
    EXPECT_EQ((std::vector<SHORT>{tracks[2], tracks[0], static_cast<SHORT>(aux->GetHostId()),
                                  static_cast<SHORT>(main->GetHostId())}),
              ids);

    EXPECT_FALSE(doc->IsNoChannelArmed());
    ASSERT_EQ(S_OK, doc->ClearTrackFlags());
    EXPECT_TRUE(doc->IsNoChannelArmed());
    ids.clear();
    ASSERT_EQ(S_OK, doc->GetMarkedContainerIds(&ids));
    EXPECT_EQ((std::vector<SHORT>{static_cast<SHORT>(main->GetHostId())}), ids) << "the master bus keeps its mark";
}

TEST_F(MidiDocTest, AuxBusPositionsAndTheActiveEffectOwner)
{
    int position = 7;
    EXPECT_EQ(E_POINTER, doc->FindAuxBusIndex(8000, nullptr));
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(2, &aux));
    ASSERT_EQ(S_OK, doc->FindAuxBusIndex(aux->GetHostId(), &position));
    EXPECT_EQ(2, position);
    EXPECT_EQ(E_FAIL, doc->FindAuxBusIndex(4242, &position));
    EXPECT_EQ(-1, position);

    // The master bus is active in a new song; then an aux bus; then a track.
    CChainHost* owner = nullptr;
    EXPECT_EQ(E_POINTER, doc->GetActiveFxOwner(nullptr));
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    ASSERT_EQ(S_OK, doc->GetActiveFxOwner(&owner));
    EXPECT_EQ(static_cast<CChainHost*>(main), owner);
    ASSERT_EQ(S_OK, doc->SetActiveContainer(aux->GetHostId(), FALSE, nullptr));
    ASSERT_EQ(S_OK, doc->GetActiveFxOwner(&owner));
    EXPECT_EQ(static_cast<CChainHost*>(aux), owner);
    const SHORT track = AddTracks(1)[0];
    CChannel* c = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannel(track, &c));
    ASSERT_EQ(S_OK, doc->GetActiveFxOwner(&owner));
    EXPECT_EQ(static_cast<CChainHost*>(c->GetOutputBranch(c->GetCurrentOutput())), owner);
    EXPECT_NE(nullptr, owner);
}

TEST_F(MidiDocTest, InstanceSelectionSetsTogglesAndListsByChannel)
{
    const std::vector<SHORT> tracks = AddTracks(2);
    CPattern* p = AddPattern(10, {0});
    CChannel* first = Place(p, tracks[0], 0, 3840);
    CChannel* second = Place(p, tracks[1], 1920, 5760);
    std::vector<CPatternInstance*> onFirst;
    std::vector<CPatternInstance*> onSecond;
    first->GetTimeline().GetPatternInstances(&onFirst);
    second->GetTimeline().GetPatternInstances(&onSecond);
    ASSERT_EQ(1u, onFirst.size());
    ASSERT_EQ(1u, onSecond.size());
    const DWORD a = onFirst[0]->GetInstanceId();
    const DWORD b = onSecond[0]->GetInstanceId();

    EXPECT_EQ(E_INVALIDARG, doc->SetInstanceSelected(0x7777000A, TRUE));
    ASSERT_EQ(S_OK, doc->SetInstanceSelected(b, TRUE));
    BOOL state = FALSE;
    ASSERT_EQ(S_OK, doc->ToggleInstanceSelected(a, &state));
    EXPECT_TRUE(state);
    std::vector<std::pair<SHORT, DWORD>> selected;
    ASSERT_EQ(S_OK, doc->GetSelectedInstances(&selected));
    EXPECT_EQ((std::vector<std::pair<SHORT, DWORD>>{{tracks[0], a}, {tracks[1], b}}), selected);
    LONG start = 0, end = 0;
    ASSERT_EQ(S_OK, doc->GetSelectionTimeRange(&start, &end));
    EXPECT_EQ(0, start);
    EXPECT_EQ(5760, end);

    ASSERT_EQ(S_OK, doc->ToggleInstanceSelected(a, &state));
    EXPECT_FALSE(state);
    ASSERT_EQ(S_OK, doc->SetInstanceSelected(b, FALSE));
    selected.clear();
    ASSERT_EQ(S_OK, doc->GetSelectedInstances(&selected));
    EXPECT_TRUE(selected.empty());
    EXPECT_EQ(S_FALSE, doc->GetSelectionTimeRange(&start, &end));
}

TEST_F(MidiDocTest, AStepPreviewWithoutAStepSequencerReleasesOnlyATransportThePreviewStarted)
{
    const SHORT track = AddTracks(1)[0];
    EXPECT_EQ(E_INVALIDARG, doc->SetStepPreview(0xFFFF, TRUE));
    EXPECT_EQ(E_INVALIDARG, doc->SetStepPreview(4242, TRUE));
    struct Case {
        const char* name;
        bool playing;
        LONG playMode;
        DWORD recordMode;
        int stops;
        DWORD recordModeAfter;
    } cases[] = {
        {"started by the preview", true, 0, CMidiDoc::kPreviewRecordMode, 1, 0},
        {"started by the user", true, 1, CMidiDoc::kPreviewRecordMode, 0, 0},
        {"recording as well", true, 0, CMidiDoc::kPreviewRecordMode | 1, 0, 1},
        {"stopped", false, 0, CMidiDoc::kPreviewRecordMode, 0, 0},
    };
    for (const Case& k : cases) {
        engine.playing = k.playing;
        engine.playMode = k.playMode;
        engine.recordMode = k.recordMode;
        engine.stops = engine.plays = 0;
        // The channel's chain holds no step sequencer: its preview ends at once.
        EXPECT_EQ(S_FALSE, doc->SetStepPreview(static_cast<WORD>(track), TRUE)) << k.name;
        EXPECT_EQ(k.stops, engine.stops) << k.name;
        EXPECT_EQ(0, engine.plays) << k.name;
        EXPECT_EQ(k.recordModeAfter, engine.recordMode) << k.name;
    }
}

// A MIDI effect that is a step sequencer: every call answers S_OK.
class StepSequencer final : public mvtest::MidiEffectBase, public IStepSeqPlugIn {
public:
    StepSequencer() : MidiEffectBase(GUID_NULL) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override { return MidiEffectBase::QueryInterface(iid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return MidiEffectBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return MidiEffectBase::Release(); }
    STDMETHODIMP Load(IStream*) override { return S_OK; }
    STDMETHODIMP Save(IStream*, BOOL) override { return S_OK; }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override { return size->QuadPart = 0, S_OK; }
    STDMETHODIMP Slot3() override { return S_OK; }
    STDMETHODIMP SetSynth(IUnknown*) override { return S_OK; }
    STDMETHODIMP Slot5() override { return S_OK; }
    STDMETHODIMP Slot6() override { return S_OK; }
    STDMETHODIMP Slot7() override { return S_OK; }
    STDMETHODIMP SetChannelId(WORD) override { return S_OK; }
    STDMETHODIMP Slot9() override { return S_OK; }
    STDMETHODIMP Slot10() override { return S_OK; }
    STDMETHODIMP Slot11() override { return S_OK; }
    STDMETHODIMP Slot12() override { return S_OK; }
    STDMETHODIMP Slot13() override { return S_OK; }
    STDMETHODIMP Slot14() override { return S_OK; }
    STDMETHODIMP Slot15() override { return S_OK; }
    STDMETHODIMP Slot16() override { return S_OK; }
    STDMETHODIMP Slot17() override { return S_OK; }
    STDMETHODIMP Slot18() override { return S_OK; }
    STDMETHODIMP Slot19() override { return S_OK; }
    STDMETHODIMP Slot20() override { return S_OK; }
    STDMETHODIMP SetShuffle(LONG) override { return S_OK; }

protected:
    void* QueryMore(REFIID iid) override
    {
        return IsEqualGUID(iid, IID_IStepSeqPlugIn) ? static_cast<IStepSeqPlugIn*>(this) : nullptr;
    }
};

class StepSequencerWrap final : public IMfxFilterWrap {
public:
    StepSequencerWrap() { m_filter->AddRef(); }
    ~StepSequencerWrap() override { m_filter->Release(); }
    IMfxEventFilter* GetEventFilter() override { return m_filter; }
    CString GetDisplayName() override { return "Steps"; }
    HRESULT Clone(IMfxFilterWrap** clone) override
    {
        *clone = new StepSequencerWrap;
        return S_OK;
    }
    IPersistStreamInit* GetPersist() override { return nullptr; }

private:
    StepSequencer* m_filter = new StepSequencer;
};

TEST_F(MidiDocTest, AStepPreviewHoldsTheTransportWhileItsSequencerStaysInTheChain)
{
    const SHORT track = AddTracks(1)[0];
    CChannel* c = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannel(track, &c));
    ASSERT_EQ(S_OK, c->GetMfxChain().InsertMfx(0, new StepSequencerWrap));

    ASSERT_EQ(S_OK, doc->SetStepPreview(static_cast<WORD>(track), TRUE));
    EXPECT_EQ(1, engine.plays);
    EXPECT_TRUE(engine.playing);
    EXPECT_EQ(CMidiDoc::kPreviewRecordMode, engine.recordMode);
    EXPECT_EQ(S_OK, doc->UpdateStepPreview()) << "still previewing: nothing more";
    EXPECT_EQ(1, engine.plays);

    // The sequencer leaves the chain: the preview ends with the transport it
    // started.
    ASSERT_EQ(S_OK, c->GetMfxChain().RemoveMfx(0));
    EXPECT_EQ(S_FALSE, doc->UpdateStepPreview());
    EXPECT_EQ(1, engine.stops);
    EXPECT_FALSE(engine.playing);
    EXPECT_EQ(0u, engine.recordMode);
}

TEST_F(MidiDocTest, APatternGoesThroughAStreamAndBack)
{
    CPattern* source = AddPattern(10, {0, 480, 960}, 1920);
    source->SetName("Riff");
    EXPECT_EQ(E_INVALIDARG, doc->PersistPatternClip(nullptr, nullptr, TRUE));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    EXPECT_EQ(E_INVALIDARG, doc->PersistPatternClip(source, nullptr, TRUE));
    ASSERT_EQ(S_OK, doc->PersistPatternClip(source, stream, TRUE));
    LARGE_INTEGER zero{};
    ASSERT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_SET, nullptr));
    CPattern* copy = AddPattern(11, {});
    ASSERT_EQ(S_OK, doc->PersistPatternClip(copy, stream, FALSE));
    stream->Release();
    EXPECT_EQ(source->GetEvents().size(), copy->GetEvents().size());
    EXPECT_EQ(1920, copy->GetDuration());
    EXPECT_STREQ("Riff", copy->GetName().GetString());
}

TEST_F(MidiDocTest, TheCreationTickAndTheQuantizerComeWithTheDocument)
{
    ASSERT_NE(nullptr, doc->GetQuantizer());
    EXPECT_EQ(CTimeGrid::kSixteenth, doc->GetQuantizer()->GetGrid());
    LONG time = 1000;
    doc->GetQuantizer()->Resolution().SetValue(960);
    ASSERT_EQ(S_OK, doc->GetQuantizer()->QuantizeTime(&time, nullptr));
    EXPECT_EQ(960, time) << "over the song's own measures";

    const DWORD before = GetTickCount();
    CMidiDoc* other = nullptr;
    ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &other));
    const DWORD stamped = other->GetCreationTick();
    CMidiDoc::DestroyMidiDoc(other);
    engine.document = doc;
    EXPECT_LE(before, stamped);
    EXPECT_LE(stamped, GetTickCount());
}

TEST_F(MidiDocTest, ErrorsGoToTheEnginesListAndMessagesToTheUser)
{
    const std::size_t before = engine.errors.size();
    doc->AddErrorMessage("Sine Failed to Connect");
    ASSERT_EQ(before + 1, engine.errors.size());
    EXPECT_EQ("Sine Failed to Connect", engine.errors.back());

    auto prompts = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope(prompts);
    doc->ShowMessageBox("An Error Occured Creating Sine");
    ASSERT_EQ(1u, prompts->Prompts().size());
    EXPECT_EQ("An Error Occured Creating Sine", prompts->Prompts()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompts->Prompts()[0].flags);
}

}  // namespace
