#include "model/CPattern.h"

#include <gtest/gtest.h>

#include <string>

#include "model/CMvCommand.h"
#include "tests/model/ChunkBytes.h"
#include "tests/model/PatternTestSupport.h"

using chunktest::Bytes;
using namespace pattest;

namespace {

constexpr DWORD Rgb(DWORD r, DWORD g, DWORD b) { return r | g << 8 | b << 16; }

class CPatternTest : public SongFixture {};

TEST_F(CPatternTest, ANewPatternHasItsDefaults)
{
    CPattern* fresh = nullptr;
    ASSERT_EQ(S_OK, CreatePattern(5, &fresh, CPattern::kKindMidi));
    PatternPtr owned(fresh);
    EXPECT_EQ(1, fresh->GetDuration());
    EXPECT_EQ(0, fresh->GetSize());
    EXPECT_EQ(Rgb(100, 180, 90), fresh->GetColor());
    EXPECT_EQ(128, fresh->GetLaneTarget());
    EXPECT_EQ(4, fresh->GetLaneKind());
    EXPECT_EQ(-1, fresh->GetTriggerKey());
    EXPECT_EQ(0u, fresh->GetSwing());
    EXPECT_EQ(0, fresh->GetEditMarker());
    EXPECT_FALSE(fresh->IsSelected());
    EXPECT_STREQ("Pat 6", fresh->GetDisplayName());
    EXPECT_EQ(E_POINTER, CreatePattern(5, nullptr, CPattern::kKindMidi));
}

TEST_F(CPatternTest, ColoursComeFromThePaletteByIdModuloFifteen)
{
    const DWORD palette[15] = {
        Rgb(200, 65, 90),   Rgb(250, 180, 110), Rgb(245, 215, 40),  Rgb(205, 195, 40),  Rgb(90, 220, 80),
        Rgb(100, 180, 90),  Rgb(130, 200, 150), Rgb(0, 165, 205),   Rgb(100, 205, 230), Rgb(0, 105, 160),
        Rgb(145, 120, 180), Rgb(180, 170, 200), Rgb(230, 150, 190), Rgb(180, 80, 160),  Rgb(255, 235, 140),
    };
    for (SHORT id = 0; id < 45; ++id)
        EXPECT_EQ(palette[id % 15], CPattern::GetPaletteColor(id)) << id;
    // Ids past the 16-bit counter's wrap stay inside the palette.
    EXPECT_EQ(palette[14], CPattern::GetPaletteColor(-1));
    EXPECT_EQ(palette[0], CPattern::GetPaletteColor(-15));
    EXPECT_EQ(palette[7], CPattern::GetPaletteColor(-32768));
}

TEST_F(CPatternTest, NamesAreCutToEightyBytesWithoutSplittingACharacter)
{
    PatternPtr p = MakePattern(0, 1);
    p->SetName(std::string(81, 'a').c_str());
    EXPECT_EQ(std::string(80, 'a'), p->GetName().Str());
    p->SetName(std::string(80, 'b').c_str());
    EXPECT_EQ(80, p->GetName().GetLength());
    // 79 ASCII bytes and a two-byte character: the character does not fit.
    p->SetName((std::string(79, 'c') + "\xC3\xA9").c_str());
    EXPECT_EQ(std::string(79, 'c'), p->GetName().Str());
    p->SetName("Bass");
    EXPECT_STREQ("Bass", p->GetDisplayName());
}

TEST_F(CPatternTest, InsertingKeepsTimeOrderAndPutsEqualTimesLast)
{
    PatternPtr p = MakePattern(0, 1920);
    for (LONG t : {960, 0, 480, 480})
        ASSERT_EQ(S_OK, p->InsertEvent(Note(t, static_cast<BYTE>(t / 10)), FALSE, nullptr, FALSE));
    ASSERT_EQ(S_OK, p->InsertEvent(Note(480, 99), FALSE, nullptr, FALSE));
    EXPECT_EQ((std::vector<LONG>{0, 480, 480, 480, 960}), Times(*p));
    EXPECT_EQ(99, (*p)[3].m_note.key);
}

TEST_F(CPatternTest, FindsTheLastEventAtOrBeforeATime)
{
    PatternPtr p = MakePattern(0, 1920, {Note(0, 1), Note(480, 2), Note(480, 3), Note(960, 4)});
    const std::pair<LONG, int> cases[] = {{-1, -1}, {0, 0}, {100, 0}, {479, 0}, {480, 2},
                                          {959, 2}, {960, 3}, {5000, 3}};
    for (auto [time, index] : cases)
        EXPECT_EQ(index, p->FindLastEventAtOrBefore(time)) << time;
    EXPECT_EQ(-1, MakePattern(1, 1)->FindLastEventAtOrBefore(0));
}

TEST_F(CPatternTest, ReplaceTakesTheSameTargetAtTheSameTimeOnly)
{
    PatternPtr p = MakePattern(0, 1920, {Controller(480, 7, 10), Note(480, 60), Controller(960, 7, 30)});
    ASSERT_EQ(S_OK, p->InsertEvent(Controller(480, 7, 99), FALSE, nullptr, TRUE));
    ASSERT_EQ(3, p->GetSize());
    EXPECT_EQ(99, (*p)[0].m_ctrl.value);
    EXPECT_EQ(30, (*p)[2].m_ctrl.value);

    // A controller of the same number later in the song is another event.
    ASSERT_EQ(S_OK, p->InsertEvent(Controller(700, 7, 50), FALSE, nullptr, TRUE));
    EXPECT_EQ((std::vector<LONG>{480, 480, 700, 960}), Times(*p));
    EXPECT_EQ(30, (*p)[3].m_ctrl.value);

    // Notes are never replaced.
    ASSERT_EQ(S_OK, p->InsertEvent(Note(480, 60), FALSE, nullptr, TRUE));
    EXPECT_EQ(5, p->GetSize());
}

TEST_F(CPatternTest, EventEditsAreUndoableUnderTheirNames)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60), Note(960, 62)});
    CUndoHistory& history = CUndoHistory::Instance();

    ASSERT_EQ(S_OK, p->InsertEvent(Note(480, 64), TRUE, nullptr, FALSE));
    EXPECT_EQ("Insert Event into Pat 1", NewestCommandName());
    ASSERT_EQ(S_OK, p->DeleteEvent(0, TRUE, nullptr));
    EXPECT_EQ("Delete Event from Pat 1", NewestCommandName());
    p->SetName("Lead");
    ASSERT_EQ(S_OK, p->ChangeEvent(0, Note(480, 65), TRUE, nullptr));
    EXPECT_EQ("Change Event in Lead", NewestCommandName());
    ASSERT_EQ(S_OK, p->ClearAllEvents(TRUE, nullptr));
    EXPECT_EQ("Clear Pattern Lead", NewestCommandName());
    EXPECT_EQ(0, p->GetSize());
    EXPECT_EQ(4, HistoryCount());

    ASSERT_EQ(S_OK, history.Undo());
    EXPECT_EQ((std::vector<LONG>{480, 960}), Times(*p));
    EXPECT_EQ(65, (*p)[0].m_note.key);
    ASSERT_EQ(S_OK, history.Undo());
    EXPECT_EQ(64, (*p)[0].m_note.key);
    ASSERT_EQ(S_OK, history.Undo());
    ASSERT_EQ(S_OK, history.Undo());
    EXPECT_EQ((std::vector<LONG>{0, 960}), Times(*p));
    ASSERT_EQ(S_OK, history.GoToPosition(0));
    EXPECT_EQ(0, p->GetSize());
}

TEST_F(CPatternTest, EditsWithoutCommandOrFlagCannotBeUndone)
{
    PatternPtr p = AddPattern(0, 1920);
    ASSERT_EQ(S_OK, p->InsertEvent(Note(0, 60), FALSE, nullptr, FALSE));
    EXPECT_EQ(1, p->GetSize());
    EXPECT_EQ(0, HistoryCount());

    // A given command collects the steps and stays open.
    CMvCommand* command = BeginProjectCommand(&document, "Outer", 0, TRUE, TRUE);
    ASSERT_NE(nullptr, command);
    ASSERT_EQ(S_OK, p->InsertEvent(Note(10, 61), TRUE, command, FALSE));
    ASSERT_EQ(S_OK, p->DeleteEvent(0, TRUE, command));
    EXPECT_EQ(command, CMvCommand::GetOpenCommand());
    EXPECT_EQ(2, command->GetStepCount());
    ASSERT_EQ(S_OK, command->Commit(&CUndoHistory::Instance()));
    EXPECT_EQ("Outer", NewestCommandName());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((std::vector<LONG>{0}), Times(*p));
}

TEST_F(CPatternTest, AFailingEditLeavesNoCommandBehind)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 60)});
    EXPECT_EQ(E_INVALIDARG, p->DeleteEvent(1, TRUE, nullptr));
    EXPECT_EQ(E_INVALIDARG, p->ChangeEvent(-1, Note(0, 1), TRUE, nullptr));
    EXPECT_EQ(0, HistoryCount());
    EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand());
    EXPECT_EQ(1, p->GetSize());
}

TEST_F(CPatternTest, RemovingAnEventResetsTheCursorsOfThePatternsInstances)
{
    PatternPtr p = AddPattern(7, 1920, {Note(0, 60), Note(10, 61)});
    ASSERT_EQ(S_OK, p->DeleteEvent(0, FALSE, nullptr));
    EXPECT_EQ((std::vector<SHORT>{7}), document.cursorResets);

    // When the document fails, the slot changes nothing, so no step is left
    // holding an event that is gone.
    document.resetResult = E_FAIL;
    EXPECT_EQ(E_FAIL, p->DeleteEvent(0, TRUE, nullptr));
    EXPECT_EQ((std::vector<LONG>{10}), Times(*p));
    EXPECT_EQ(0, HistoryCount());
}

TEST_F(CPatternTest, ChangingAnEventsTimePastItsNeighbourKeepsTheOrder)
{
    PatternPtr p = AddPattern(0, 1920, {Note(0, 1), Note(480, 2), Note(960, 3)});
    ASSERT_EQ(S_OK, p->ChangeEvent(0, Note(1200, 9), TRUE, nullptr));
    EXPECT_EQ((std::vector<LONG>{480, 960, 1200}), Times(*p));
    EXPECT_EQ(9, (*p)[2].m_note.key);
    ASSERT_EQ(S_OK, p->ChangeEvent(1, Note(700, 8), TRUE, nullptr));
    EXPECT_EQ((std::vector<LONG>{480, 700, 1200}), Times(*p));
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((std::vector<LONG>{0, 480, 960}), Times(*p));
    EXPECT_EQ(1, (*p)[0].m_note.key);
}

TEST_F(CPatternTest, ClearingARangeIncludesBothEndsAndHonoursTheMatchEvent)
{
    PatternPtr p = AddPattern(0, 1920,
                              {Controller(0, 7, 1), Controller(480, 7, 2), Note(480, 60), Controller(480, 10, 3),
                               Controller(960, 7, 4)});
    const CMfxEvent volume = Controller(0, 7, 0);
    ASSERT_EQ(S_OK, p->ClearMatchingEvents(480, 480, &volume, TRUE, nullptr));
    EXPECT_EQ((std::vector<LONG>{0, 480, 480, 960}), Times(*p));
    ASSERT_EQ(S_OK, p->ClearMatchingEvents(480, 960, nullptr, TRUE, nullptr));
    EXPECT_EQ((std::vector<LONG>{0}), Times(*p));
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((std::vector<LONG>{0, 480, 480, 480, 960}), Times(*p));
    EXPECT_EQ(MfxNote, MfxCopy((*p)[2].m_kind));
    EXPECT_EQ(10, (*p)[3].m_ctrl.number);
}

TEST_F(CPatternTest, ContainerSlotsCheckTheirIndices)
{
    PatternPtr p = MakePattern(0, 1920);
    CMfxEvent out;
    EXPECT_EQ(S_FALSE, p->PeekAt(0, &out));
    EXPECT_EQ(E_INVALIDARG, p->Insert(1, Note(0, 1)));
    ASSERT_EQ(S_OK, p->Insert(0, Note(5, 1)));
    EXPECT_EQ(E_INVALIDARG, p->Set(1, Note(0, 1)));
    EXPECT_EQ(E_INVALIDARG, p->Remove(-1));
    EXPECT_EQ(E_POINTER, p->Get(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, p->Get(1, &out));
    EXPECT_EQ(E_INVALIDARG, p->PeekAt(1, &out));
    ASSERT_EQ(S_OK, p->PeekAt(0, &out));
    EXPECT_EQ(5, MfxCopy(out.m_time));
}

TEST_F(CPatternTest, AnswersRangeAndSelectionQueries)
{
    PatternPtr p = MakePattern(0, 1920,
                               {Note(0, 60), Controller(480, 7, 1), Automation(480, 33, 0.5f), Controller(960, 10, 2),
                                Automation(1000, 33, 0.2f), Automation(1100, 5, 0.1f)});
    const std::tuple<LONG, LONG, HRESULT> ranges[] = {
        {0, 1, S_OK}, {1, 480, S_FALSE}, {1, 481, S_OK}, {1101, 5000, S_FALSE}, {-5, 0, S_FALSE}};
    for (auto [from, to, result] : ranges)
        EXPECT_EQ(result, p->IsRangeEmpty(from, to)) << from << ".." << to;
    EXPECT_EQ(S_FALSE, MakePattern(1, 1)->IsRangeEmpty(INT32_MIN, INT32_MAX));

    std::set<DWORD> params;
    ASSERT_EQ(S_OK, p->GetAutomatedParams(&params));
    EXPECT_EQ((std::set<DWORD>{5, 33}), params);
    EXPECT_EQ(E_INVALIDARG, p->GetAutomatedParams(&params));
    EXPECT_EQ(E_POINTER, p->GetAutomatedParams(nullptr));
    std::set<int> controllers;
    ASSERT_EQ(S_OK, p->GetUsedControllers(&controllers));
    EXPECT_EQ((std::set<int>{7, 10}), controllers);
    std::set<DWORD> kinds;
    ASSERT_EQ(S_OK, p->GetUsedEventKinds(&kinds));
    EXPECT_EQ((std::set<DWORD>{MfxNote, MfxController, MfxAutomation}), kinds);

    std::vector<int> selected;
    ASSERT_EQ(S_OK, p->GetSelectedEventIndices(&selected));
    EXPECT_TRUE(selected.empty());
    p->SelectAllEvents(TRUE);
    ASSERT_EQ(S_OK, p->GetSelectedEventIndices(&selected, MfxController));
    EXPECT_EQ((std::vector<int>{1, 3}), selected);
    EXPECT_EQ(E_INVALIDARG, p->GetSelectedEventIndices(&selected));
    EXPECT_EQ(E_POINTER, p->GetSelectedEventIndices(nullptr));
    std::vector<int> none;
    EXPECT_EQ(S_FALSE, MakePattern(1, 1)->GetSelectedEventIndices(&none));
}

TEST_F(CPatternTest, CalculatesItsLength)
{
    PatternPtr p = MakePattern(0, 1920, {Note(0, 60, 100), Note(1900, 61, 500), Controller(2000, 7, 1)});
    EXPECT_EQ(2400, p->CalcLength(FALSE));
    EXPECT_EQ(1920, p->CalcLength(TRUE));
    p->SelectAllEvents(TRUE);
    EXPECT_EQ(2400, p->CalcLength(TRUE));

    PatternPtr endless = MakePattern(1, CPattern::kEndless, {Note(100, 60)});
    EXPECT_EQ(61440, endless->CalcLength(FALSE));
    document.songEnd = 70000;
    EXPECT_EQ(70000, endless->CalcLength(FALSE));
    SetSongDocument(nullptr);
    EXPECT_EQ(61440, endless->CalcLength(FALSE));

    // A note that reaches past the last tick saturates rather than wraps.
    PatternPtr far = MakePattern(2, 1, {Note(INT32_MAX - 5, 60, 0xFFFFFFFF)});
    EXPECT_EQ(INT32_MAX, far->CalcLength(FALSE));
}

TEST_F(CPatternTest, TheClipIdIsThePatternIdForLoopClipPatternsOnly)
{
    EXPECT_EQ(CPattern::kNoClip, MakePattern(4, 1)->GetClipId());
    EXPECT_EQ(4u, MakePattern(4, 1, {}, CPattern::kKindLoopClip)->GetClipId());
    // 16 bits: a negative id is never the "none" value.
    EXPECT_EQ(0xFFFFu, MakePattern(-1, 1, {}, CPattern::kKindLoopClip)->GetClipId());
    EXPECT_EQ(0xFFFEu, MakePattern(-2, 1, {}, CPattern::kKindLoopClip)->GetClipId());
}

TEST_F(CPatternTest, AnAudioPatternsClipFollowsItsDurationAndGoesWithIt)
{
    FakeLoopClip* clip = engine.pool.Add(6);
    PatternPtr audio = MakePattern(6, 1, {}, CPattern::kKindLoopClip);
    audio->SetDuration(7680);
    ASSERT_FALSE(clip->CallsOf("length").empty());
    EXPECT_EQ(7680, std::get<1>(clip->CallsOf("length").back()));
    EXPECT_EQ(0, clip->releases);
    audio.reset();
    EXPECT_EQ(1, clip->releases);

    // A MIDI pattern with the same id leaves the clip alone.
    MakePattern(6, 480).reset();
    EXPECT_EQ(1, clip->releases);
}

// ---- persistence ----

Bytes Str(const char* text)
{
    Bytes b;
    b.U32(static_cast<std::uint32_t>(std::strlen(text) + 1)).Raw(text, std::strlen(text) + 1);
    return b;
}

std::vector<std::uint8_t> Sub(WORD index, const Bytes& payload)
{
    return payload.AsChunk(MakeKelVersionWord(CPattern::kMajor, index));
}

// The chunk a pattern (id 3, 1920 ticks, "Bass", one note) is saved as.
std::vector<std::uint8_t> BassChunk(const char* name = "Bass")
{
    Bytes note;
    note.U32(MfxNote).U8(0).U8(2).U8(60).U8(64).U8(0).U32(120).U32(240).U32(0);
    Bytes chunk0;
    const WORD id = 3;
    chunk0.Raw(&id, 2).U32(1920);
    const Bytes shown = Str(name);
    chunk0.Raw(shown.data.data(), shown.data.size()).U32(1);
    const auto event = note.AsChunk(0x60040000);
    chunk0.Raw(event.data(), event.size());
    Bytes all;
    auto add = [&](const std::vector<std::uint8_t>& c) { all.Raw(c.data(), c.size()); };
    add(Sub(0, chunk0));
    add(Sub(1, Bytes().U32(1)));
    add(Sub(2, Bytes().U32(Rgb(205, 195, 40))));
    add(Sub(3, Bytes().U32(36).U32(CPattern::kKindMidi).U32(0xFFFFFFFF).U32(7).U32(2).U32(480)));
    const Bytes clip = Str("");
    add(Sub(4, clip));
    add(Sub(5, Bytes().U8(1).U32(0xFFFFFFFF).U32(0xFFFFFFFF).U32(0xFFFFFFFF).U32(0xFFFFFFFF)));
    return all.AsChunk(MakeKelVersionWord(CPattern::kMajor, CPattern::kMinor));
}

PatternPtr BassPattern()
{
    CMfxEvent note = Note(240, 60, 120, 2);
    PatternPtr p = MakePattern(3, 1920, {note});
    p->SetName("Bass");
    p->SetSelected(TRUE);
    p->SetTriggerKey(36);
    p->SetLaneTarget(7);
    p->SetLaneKind(2);
    p->SetEditMarker(480);
    p->SetSwing(1);
    return p;
}

TEST_F(CPatternTest, SavesAllItsChunksByteForByte)
{
    PatternPtr p = BassPattern();
    auto stream = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, p->Save(stream.Get(), FALSE));
    EXPECT_EQ(BassChunk(), chunktest::BytesOf(stream.Get()));
    ULARGE_INTEGER size{};
    ASSERT_EQ(S_OK, p->GetSizeMax(&size));
    EXPECT_EQ(BassChunk().size(), size.QuadPart);
}

TEST_F(CPatternTest, LoadsWhatItSavedAndKeepsItsOwnId)
{
    PatternPtr p = MakePattern(3, 1);
    auto stream = chunktest::StreamOf(BassChunk());
    ASSERT_EQ(S_OK, p->Load(stream.Get()));
    auto again = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, p->Save(again.Get(), FALSE));
    EXPECT_EQ(BassChunk(), chunktest::BytesOf(again.Get()));

    PatternPtr other = MakePattern(9, 1);
    auto copy = chunktest::StreamOf(BassChunk());
    ASSERT_EQ(S_OK, other->Load(copy.Get()));
    EXPECT_EQ(9, other->GetId());
    EXPECT_EQ(1920, other->GetDuration());
    EXPECT_STREQ("Bass", other->GetName());
    EXPECT_EQ((std::vector<LONG>{240}), Times(*other));
    EXPECT_EQ(36, other->GetTriggerKey());
    EXPECT_EQ(1u, other->GetSwing());
}

TEST_F(CPatternTest, LoadingCutsLongNamesAndReadsAnySwingByteAsOn)
{
    auto bytes = BassChunk(std::string(85, 'n').c_str());
    // The swing byte is the first payload byte of the last sub-chunk.
    bytes[bytes.size() - 17] = 0x7F;
    PatternPtr p = MakePattern(3, 1);
    auto stream = chunktest::StreamOf(bytes);
    ASSERT_EQ(S_OK, p->Load(stream.Get()));
    EXPECT_EQ(std::string(80, 'n'), p->GetName().Str());
    EXPECT_EQ(1u, p->GetSwing());
}

TEST_F(CPatternTest, ABrokenEventEndsTheChunkKeepingWhatWasRead)
{
    Bytes chunk0;
    const WORD id = 3;
    chunk0.Raw(&id, 2).U32(1920).U32(1).U8(0).U32(2);
    Bytes good;
    good.U32(MfxController).U8(0).U8(0).U8(7).U8(100).U32(10).U32(0);
    Bytes bad;  // a system-exclusive event cannot be loaded
    bad.U32(MfxSysex).U8(0).U8(0).U32(0).U32(20).U32(0).U32(0).U32(0);
    for (const Bytes* e : {&good, &bad}) {
        auto c = e->AsChunk(0x60040000);
        chunk0.Raw(c.data(), c.size());
    }
    PatternPtr p = MakePattern(3, 1, {Note(0, 1)});
    auto stream = chunktest::StreamOf(Sub(0, chunk0));
    EXPECT_TRUE(FAILED(p->Load(stream.Get())));
    EXPECT_EQ((std::vector<LONG>{0, 10}), Times(*p));

    // A count that the chunk cannot hold is refused before anything is read.
    Bytes huge;
    huge.Raw(&id, 2).U32(1920).U32(1).U8(0).U32(0x40000000);
    PatternPtr q = MakePattern(3, 1);
    auto hugeStream = chunktest::StreamOf(Sub(0, huge));
    EXPECT_EQ(STG_E_READFAULT, q->Load(hugeStream.Get()));
    EXPECT_EQ(0, q->GetSize());
}

TEST_F(CPatternTest, UnknownChunksAreRefused)
{
    PatternPtr p = MakePattern(0, 1);
    auto stream = chunktest::StreamOf({});
    CKelPersistArchive archive(stream.Get(), TRUE, FALSE);
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, p->PersistChunk(MakeKelVersionWord(CPattern::kMajor, 6), &archive));
}

}  // namespace

namespace {

TEST_F(CPatternTest, AppendedEventListsJoinTheEndInTimeOrderOnly)
{
    PatternPtr p = MakePattern(0, 3840);
    std::vector<CMfxEvent> first = {Note(0, 60), Controller(10, 7, 1), Note(10, 62)};
    ASSERT_EQ(S_OK, p->AppendEvents(std::move(first)));
    EXPECT_TRUE(first.empty());
    std::vector<CMfxEvent> more = {Note(10, 64), Note(20, 65)};
    ASSERT_EQ(S_OK, p->AppendEvents(std::move(more)));
    ASSERT_EQ(5, p->GetSize());
    EXPECT_EQ((std::vector<LONG>{0, 10, 10, 10, 20}), p->GetEventTimes());
    EXPECT_EQ(64, p->GetEvents()[3].m_note.key);

    // Before the last event held, or out of order: refused, nothing changes.
    std::vector<CMfxEvent> early = {Note(19, 66)};
    std::vector<CMfxEvent> unordered = {Note(30, 66), Note(25, 67)};
    EXPECT_EQ(E_INVALIDARG, p->AppendEvents(std::move(early)));
    EXPECT_EQ(E_INVALIDARG, p->AppendEvents(std::move(unordered)));
    EXPECT_EQ(5, p->GetSize());
    EXPECT_EQ(5u, p->GetEventTimes().size());
    EXPECT_EQ(1u, early.size());
}

}  // namespace
