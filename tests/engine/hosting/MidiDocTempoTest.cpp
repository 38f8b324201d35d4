// The song document's tempo, meter and marker edits: what each does to the
// maps, what its undo step is called and that undo brings the maps back;
// the live tempo that playback hears until it is committed into the map.
#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/SongDocFixture.h"

namespace {

using Entries = std::vector<std::pair<LONG, LONG>>;  // tick, tempo

class MidiDocTempoTest : public songdoctest::SongDocTest {
protected:
    Entries Tempos() const
    {
        Entries entries;
        const CTempoMap& map = *doc->GetTempoMap();
        for (int i = 0; i < map.GetSize(); ++i)
            entries.emplace_back(map[i].m_tick, map[i].m_tempo);
        return entries;
    }
    // The map of the test's choice, made directly (no undo).
    void MakeTempos(const Entries& entries)
    {
        CTempoMap& map = *doc->GetTempoMap();
        ASSERT_EQ(S_OK, map.Set(0, CTempo(0, entries[0].second)));
        for (std::size_t i = 1; i < entries.size(); ++i)
            ASSERT_EQ(S_OK, map.Insert(static_cast<int>(i), CTempo(entries[i].first, entries[i].second)));
    }
    static std::string UndoName() { return CUndoHistory::Instance().GetCommandName(0); }
    // The commands that can be undone.
    static int UndoCount()
    {
        int count = 0;
        int position = 0;
        CUndoHistory::Instance().GetCount(&count);
        CUndoHistory::Instance().GetPosition(&position);
        return count - position;
    }
    static void Undo() { ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo()); }
};

TEST_F(MidiDocTempoTest, InsertingReplacesAnEntryAtTheTickAndElseAddsOneAfterTheEntryInForce)
{
    struct Case {
        const char* name;
        LONG tick;
        LONG tempo;
        Entries after;
    };
    const Entries before{{0, 12000}, {1920, 9000}};
    const Case cases[] = {
        {"at an entry's tick", 1920, 10000, {{0, 12000}, {1920, 10000}}},
        {"at the song start", 0, 6000, {{0, 6000}, {1920, 9000}}},
        {"between entries", 960, 15000, {{0, 12000}, {960, 15000}, {1920, 9000}}},
        {"after the last", 3840, 30000, {{0, 12000}, {1920, 9000}, {3840, 30000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CUndoHistory::Instance().Clear();
        MakeTempos(before);
        ASSERT_EQ(S_OK, doc->InsertTempo(c.tick, c.tempo, TRUE, nullptr));
        EXPECT_EQ(c.after, Tempos());
        EXPECT_EQ(1, UndoCount());
        CString expected;
        expected.Format("Insert %.2f BPM Tempo", c.tempo * 0.01);
        EXPECT_EQ(expected.GetString(), UndoName());
        Undo();
        EXPECT_EQ(before, Tempos());
        // Back to the test's starting map for the next case.
        while (doc->GetTempoMap()->GetSize() > 1)
            doc->GetTempoMap()->Remove(1);
    }
    EXPECT_EQ(E_INVALIDARG, doc->InsertTempo(-1, 12000, TRUE, nullptr));
}

TEST_F(MidiDocTempoTest, ChangingATempoChecksIndexAndRangeAndNamesBothValues)
{
    MakeTempos({{0, 12000}, {1920, 9000}});
    struct Case {
        int index;
        LONG tempo;
        HRESULT result;
    };
    const Case refused[] = {{2, 10000, E_INVALIDARG}, {-1, 10000, E_INVALIDARG}, {1, 799, E_INVALIDARG},
                            {1, 25001, E_INVALIDARG}, {1, 9000, S_FALSE}};
    for (const Case& c : refused) {
        SCOPED_TRACE(std::to_string(c.index) + " " + std::to_string(c.tempo));
        EXPECT_EQ(c.result, doc->SetTempoAt(c.index, c.tempo, TRUE));
        EXPECT_EQ(0, UndoCount());
    }
    for (LONG tempo : {800, 25000}) {
        ASSERT_EQ(S_OK, doc->SetTempoAt(1, tempo, TRUE));
        EXPECT_EQ(tempo, Tempos()[1].second);
    }
    EXPECT_EQ("Change Tempo from 8.0 to 250.0", UndoName());
    Undo();
    Undo();
    EXPECT_EQ((Entries{{0, 12000}, {1920, 9000}}), Tempos());
}

TEST_F(MidiDocTempoTest, DeletingKeepsAFirstEntryAtTheSongStart)
{
    struct Case {
        const char* name;
        Entries before;
        int index;
        Entries after;
    };
    const Case cases[] = {
        {"the first of two takes the second's tempo", {{0, 12000}, {1920, 9000}}, 0, {{0, 9000}}},
        {"the only one goes back to the default", {{0, 12000}}, 0, {{0, 14000}}},
        {"a later one goes", {{0, 12000}, {1920, 9000}, {3840, 6000}}, 1, {{0, 12000}, {3840, 6000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CUndoHistory::Instance().Clear();
        while (doc->GetTempoMap()->GetSize() > 1)
            doc->GetTempoMap()->Remove(1);
        MakeTempos(c.before);
        ASSERT_EQ(S_OK, doc->DeleteTempo(c.index, TRUE, nullptr));
        EXPECT_EQ(c.after, Tempos());
        EXPECT_EQ("Delete Tempo", UndoName());
        EXPECT_EQ(1, UndoCount());
        Undo();
        EXPECT_EQ(c.before, Tempos());
    }
    EXPECT_EQ(E_INVALIDARG, doc->DeleteTempo(doc->GetTempoMap()->GetSize(), TRUE, nullptr));
    EXPECT_EQ(E_INVALIDARG, doc->DeleteTempo(-1, TRUE, nullptr));
}

TEST_F(MidiDocTempoTest, EditsJoinAGivenCommandAndUndoAsOne)
{
    CMvCommand* command = BeginProjectCommand(doc->AsCommandDocument(), "Tempo work", 0, TRUE, TRUE);
    ASSERT_NE(nullptr, command);
    ASSERT_EQ(S_OK, doc->InsertTempo(1920, 9000, FALSE, command));
    ASSERT_EQ(S_OK, doc->InsertTempo(3840, 6000, FALSE, command));
    ASSERT_EQ(S_OK, doc->DeleteTempo(1, FALSE, command));
    ASSERT_EQ(S_OK, doc->InsertMarker("Chorus", 3840, FALSE, command));
    ASSERT_EQ(S_OK, command->Commit(&CUndoHistory::Instance()));
    EXPECT_EQ((Entries{{0, 14000}, {3840, 6000}}), Tempos());
    EXPECT_EQ(1, doc->GetMarkerCount());
    EXPECT_EQ(1, UndoCount());
    Undo();
    EXPECT_EQ((Entries{{0, 14000}}), Tempos());
    EXPECT_EQ(0, doc->GetMarkerCount());

    // Without a command and without asking for one: changed for good.
    ASSERT_EQ(S_OK, doc->InsertTempo(960, 7000, FALSE, nullptr));
    EXPECT_EQ((Entries{{0, 14000}, {960, 7000}}), Tempos());
    EXPECT_EQ(0, UndoCount());
}

TEST_F(MidiDocTempoTest, MarkersGoAfterEveryMarkerAtTheSameOrAnEarlierTick)
{
    const std::pair<const char*, LONG> inserted[] = {{"B", 960}, {"A", 0}, {"C", 960}, {"D", 480}};
    for (auto [name, tick] : inserted)
        ASSERT_EQ(S_OK, doc->InsertMarker(name, tick, TRUE, nullptr));
    std::string order;
    for (int i = 0; i < doc->GetMarkerCount(); ++i) {
        CString name;
        ASSERT_EQ(S_OK, doc->GetMarker(i, nullptr, &name));
        order += name.GetString();
    }
    EXPECT_EQ("ADBC", order);
    EXPECT_EQ("Insert Marker \"D\"", UndoName());

    const std::string longName(100, 'x');
    ASSERT_EQ(S_OK, doc->InsertMarker(longName.c_str(), 5000, TRUE, nullptr));
    CString stored;
    ASSERT_EQ(S_OK, doc->GetMarker(4, nullptr, &stored));
    EXPECT_EQ(std::string(63, 'x'), stored.GetString());
}

TEST_F(MidiDocTempoTest, SelectionAndMeterEditsForwardToTheirMaps)
{
    MakeTempos({{0, 12000}, {1920, 9000}});
    ASSERT_EQ(S_OK, doc->SetTempoSelected(1, TRUE));
    EXPECT_TRUE((*doc->GetTempoMap())[1].IsSelected());
    ASSERT_EQ(S_OK, doc->DeselectAllTempos());
    EXPECT_FALSE((*doc->GetTempoMap())[1].IsSelected());

    ASSERT_EQ(S_OK, doc->ClearTempoRange(960, 4000, TRUE, nullptr));
    EXPECT_EQ((Entries{{0, 12000}}), Tempos());
    EXPECT_EQ("Clear Tempo Range", UndoName());

    CMeterKey sixEight = doc->GetMeterKeyMap()[0];
    sixEight.m_numerator = 6;
    sixEight.m_power = 3;
    ASSERT_EQ(S_OK, doc->InsertMeterKey(3840 * 2, sixEight, TRUE, nullptr));
    ASSERT_EQ(2, doc->GetMeterKeyMap().GetSize());
    EXPECT_EQ("Insert Time Signature", UndoName());
    EXPECT_EQ(E_INVALIDARG, doc->DeleteMeterKey(2, TRUE, nullptr));
    ASSERT_EQ(S_OK, doc->DeleteMeterKey(1, TRUE, nullptr));
    EXPECT_EQ(1, doc->GetMeterKeyMap().GetSize());
    EXPECT_EQ("Delete Time Signature", UndoName());
}

TEST_F(MidiDocTempoTest, ALiveTempoPlaysUntilItIsCommittedIntoTheEntryInForce)
{
    MakeTempos({{0, 12000}, {1920, 9000}});
    const CTempoMap& map = *doc->GetTempoMap();
    // 120 BPM: a quarter lasts half a second; live 60 BPM: a whole second.
    EXPECT_EQ(500, map.TicksToTime(960, 1000));
    EXPECT_EQ(E_INVALIDARG, doc->SetLiveTempo(2880, 799));
    ASSERT_EQ(S_OK, doc->SetLiveTempo(2880, 6000));
    EXPECT_EQ(1000, map.TicksToTime(3840, 1000) - map.TicksToTime(2880, 1000));
    EXPECT_EQ((Entries{{0, 12000}, {1920, 9000}}), Tempos());

    engine.now = 5000;
    engine.playMode = 1;
    engine.recordMode = 1;
    ASSERT_EQ(S_OK, doc->CommitLiveTempo(TRUE));
    EXPECT_EQ((Entries{{0, 12000}, {1920, 6000}}), Tempos());
    EXPECT_EQ(S_FALSE, map.GetFixedTempo(nullptr, nullptr, nullptr));
    EXPECT_EQ("Change Tempo from 90.0 to 60.0", UndoName());
    // The song stays at its position in ticks with its modes as they were.
    EXPECT_EQ(std::vector<LONG>{5000}, engine.located);
    EXPECT_EQ(1, engine.playMode);
    EXPECT_EQ(1u, engine.recordMode);
}

TEST_F(MidiDocTempoTest, ADroppedOrAbsentLiveTempoChangesNothing)
{
    ASSERT_EQ(S_OK, doc->SetLiveTempo(0, 6000));
    ASSERT_EQ(S_OK, doc->CommitLiveTempo(FALSE));
    EXPECT_EQ(S_FALSE, doc->GetTempoMap()->GetFixedTempo(nullptr, nullptr, nullptr));
    ASSERT_EQ(S_OK, doc->CommitLiveTempo(TRUE));
    EXPECT_EQ((Entries{{0, 14000}}), Tempos());
    EXPECT_EQ(0, UndoCount());
    EXPECT_TRUE(engine.located.empty());
}

TEST_F(MidiDocTempoTest, AtTheLoopEndTheLiveTempoRunsFromTheSongStartAgain)
{
    ASSERT_EQ(S_OK, doc->SetLiveTempo(1920, 6000));
    ITransportDocument* transport = doc;
    ASSERT_EQ(S_OK, transport->OnBufferTempoHook(0, 3840));
    LONG tick = -1;
    LONG tempo = 0;
    ASSERT_EQ(S_OK, doc->GetTempoMap()->GetFixedTempo(&tick, &tempo, nullptr));
    EXPECT_EQ(0, tick);
    EXPECT_EQ(6000, tempo);
    EXPECT_EQ(1000, doc->GetTempoMap()->TicksToTime(960, 1000));
}

}  // namespace
