#include "engine/hosting/CRecorder.h"

#include <gtest/gtest.h>

#include "engine/hosting/CHostingEngineFactory.h"
#include "engine/hosting/CRecBuffer.h"
#include "model/CHResultException.h"
#include "model/CMeterKey.h"
#include "model/CPatternInstance.h"
#include "model/RunProjectEdit.h"
#include "tests/engine/hosting/RecorderFixture.h"

namespace {

using namespace rectest;

using RecorderTest = RecorderFixture;

constexpr UINT kWritten = CRecorder::kEventsWrittenMessage;
constexpr UINT kCommitted = CRecorder::kTakeCommittedMessage;

TEST_F(RecorderTest, APatternTakeMakesANewPatternOfTheDefaultLengthAndIsOneUndoStep)
{
    RecordButton button(recorder, engine);
    ASSERT_EQ(S_OK, button.Press());
    EXPECT_TRUE(engine.playing);
    const SHORT id = doc->GetActivePatternIdRaw();
    ASSERT_NE(CMidiDoc::kNone, id);
    EXPECT_TRUE(recorder.IsRecordingPattern(id));
    // The song is past the pattern's first pass: times fold into it.
    PlayNote(60, 7680 + 480, 240);
    Play(Controller(1, 64), 7680 + 960);
    EXPECT_TRUE(recorder.FetchNewEventsFlag());
    EXPECT_FALSE(recorder.FetchNewEventsFlag());
    ASSERT_EQ(S_OK, button.Press());
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(recorder.IsRecordingPattern(id));

    CPattern* made = Pattern(id);
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(7680, made->GetDuration());
    EXPECT_EQ((std::vector<Heard>{{480, 60, 90, 240}}), NotesOf(made));
    ASSERT_EQ(2u, made->GetEvents().size());
    EXPECT_EQ(960, made->GetEvents()[1].m_time);
    EXPECT_EQ(0x80, made->GetLaneTarget()) << "a pattern that recorded notes shows its notes";
    EXPECT_EQ(1, HistoryCount());
    EXPECT_EQ("Record New Events", NewestName());
    EXPECT_TRUE(Posted(kCommitted));

    DWORD hint = 0;
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo(&hint));
    EXPECT_EQ(nullptr, Pattern(id)) << "undoing the take takes the pattern it made";
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo(&hint));
    EXPECT_EQ(1u, NotesOf(Pattern(id)).size());
}

TEST_F(RecorderTest, LiveNotesArePairedByKeyAndChannel)
{
    CPattern* p = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(5, FALSE, nullptr, &p));
    p->SetDuration(3840);
    ASSERT_EQ(S_OK, doc->SetActivePattern(5, nullptr));
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    Play(NoteOn(60, 70), 100);
    Play(NoteOn(60, 20), 200);  // a second note-on of a held key
    Play(NoteOff(60), 400);
    Play(NoteOff(62), 500);  // nothing held
    Play(NoteOn(64, 0), 600);  // a note-on of velocity 0 is a note-off
    Play(NoteOn(67, 80, 3), 700);
    Play(NoteOn(67, 0, 3), 760);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ((std::vector<Heard>{{100, 60, 70, 300}, {700, 67, 80, 60}}), NotesOf(p));
    EXPECT_EQ(3, p->GetEvents()[1].m_channel);
}

TEST_F(RecorderTest, FixedVelocityAndTheChannelsTransposeShapeRecordedNotes)
{
    recorder.SetFixedVelocity();
    EXPECT_TRUE(recorder.GetFixedVelocity());
    Channel(channel)->SetInputTranspose(5);
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    PlayNote(60, 0, 100, 30);
    PlayNote(125, 200, 100, 30);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ((std::vector<Heard>{{0, 65, 100, 100}, {200, 127, 100, 100}}),
              NotesOf(Pattern(doc->GetActivePatternIdRaw())));
}

TEST_F(RecorderTest, StepRecordingPlacesNotesAtTheStepLength)
{
    struct Case {
        const char* name;
        DWORD index;
        DWORD modifier;
        LONG step;
    };
    const Case cases[] = {
        {"whole", 1, CRecorder::kStepPlain, 1920},
        {"dotted quarter", 2, CRecorder::kStepDotted, 1440},
        {"sixteenth triplet", 4, CRecorder::kStepTriplet, 160},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, doc->SetActivePattern(CMidiDoc::kNone, nullptr));
        recorder.SetStepSize(c.index);
        recorder.SetStepModifier(c.modifier);
        RecordButton button(recorder, engine);
        button.stepRecording = true;
        ASSERT_EQ(S_OK, button.Press());
        EXPECT_FALSE(engine.playing) << "step recording leaves the transport alone";
        // The song position plays no part in step recording.
        PlayNote(60, 5000, 1);
        PlayNote(62, 0, 3);
        PlayNote(64, 99999, 7);
        const SHORT id = doc->GetActivePatternIdRaw();
        ASSERT_EQ(S_OK, button.Press());
        CPattern* made = Pattern(id);
        ASSERT_NE(nullptr, made);
        EXPECT_EQ(16 * c.step, made->GetDuration());
        EXPECT_EQ((std::vector<Heard>{{0, 60, 90, c.step}, {c.step, 62, 90, c.step}, {2 * c.step, 64, 90, c.step}}),
                  NotesOf(made));
    }
}

TEST_F(RecorderTest, AChordAdvancesTheStepOnceAfterItsLastKey)
{
    recorder.SetStepSize(3);  // 480
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeStep));
    Play(NoteOn(60), 0);
    Play(NoteOn(64), 0);
    Play(NoteOff(60), 0);
    EXPECT_EQ(0, recorder.GetStepPosition());
    Play(NoteOn(67), 0);
    Play(NoteOff(64), 0);
    Play(NoteOff(67), 0);
    EXPECT_EQ(480, recorder.GetStepPosition());
    PlayNote(72, 0, 0);
    EXPECT_EQ(S_OK, recorder.StepForward()) << "a rest";
    EXPECT_TRUE(Posted(kWritten)) << "every step refreshes the views";
    PlayNote(74, 0, 0);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ((std::vector<Heard>{{0, 60, 90, 480}, {0, 64, 90, 480}, {0, 67, 90, 480}, {480, 72, 90, 480},
                                  {1440, 74, 90, 480}}),
              NotesOf(Pattern(doc->GetActivePatternIdRaw())));
    EXPECT_EQ(S_FALSE, recorder.StepForward()) << "not recording";
}

TEST_F(RecorderTest, AWholeBarStepFollowsTheMeterAndWrapsAtThePatternEnd)
{
    CMeterKey threeFour;
    threeFour.m_numerator = 3;
    threeFour.m_power = 2;
    ASSERT_EQ(S_OK, doc->BeginImportCommand("meter"));
    ASSERT_EQ(S_OK, doc->InsertMeterKey(0, threeFour));
    ASSERT_EQ(S_OK, doc->EndImportCommand());
    recorder.SetStepSize(0);
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeStep));
    const SHORT id = doc->GetActivePatternIdRaw();
    EXPECT_EQ(16 * 2880, Pattern(id)->GetDuration());
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(S_OK, recorder.StepForward());
    EXPECT_EQ(15 * 2880, recorder.GetStepPosition());
    PlayNote(60, 0, 0);
    EXPECT_EQ(0, recorder.GetStepPosition()) << "the 16th step goes back to the start";
    PlayNote(62, 0, 0);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ((std::vector<Heard>{{0, 62, 90, 2880}, {15 * 2880, 60, 90, 2880}}), NotesOf(Pattern(id)));
}

TEST_F(RecorderTest, ArrangementTakesGrowANewPatternAndItsInstanceOnEveryArmedChannel)
{
    const SHORT second = AddTrack();
    Channel(channel)->SetArmed(1);
    Channel(second)->SetArmed(1);
    engine.now = 3840;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeArrangement));
    // A note that reaches far past the new pattern's one tick.
    PlayNote(60, 3840 + 100, 9000);
    recorder.FetchNewEventsFlag();
    PlayNote(62, 3840 + 9500, 100);
    ASSERT_EQ(S_OK, recorder.EndTake());

    for (SHORT track : {channel, second}) {
        SCOPED_TRACE(track);
        CChannel* c = Channel(track);
        ASSERT_EQ(1, c->GetTimeline().GetSize());
        const CPatternInstance& placed = c->GetTimeline()[0];
        EXPECT_EQ(3840, placed.GetStart());
        EXPECT_EQ(3840 + 9601, placed.GetEnd());
        ASSERT_NE(nullptr, placed.GetPattern());
        EXPECT_EQ(9601, placed.GetPattern()->GetDuration());
        EXPECT_EQ((std::vector<Heard>{{100, 60, 90, 9000}, {9500, 62, 90, 100}}), NotesOf(placed.GetPattern()));
    }
    EXPECT_EQ(1, HistoryCount());
    DWORD hint = 0;
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo(&hint));
    EXPECT_EQ(0, Channel(channel)->GetTimeline().GetSize());
}

TEST_F(RecorderTest, ATakeThatRecordedNothingLeavesNothing)
{
    const int patterns = doc->GetPatternCount();
    for (DWORD mode : {CRecorder::kModePattern, CRecorder::kModeStep}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(S_OK, recorder.BeginTake(mode));
        EXPECT_EQ(patterns + 1, doc->GetPatternCount());
        Play(NoteOff(60), 10);
        ASSERT_EQ(S_OK, recorder.EndTake());
        EXPECT_EQ(patterns, doc->GetPatternCount());
        EXPECT_EQ(CMidiDoc::kNone, doc->GetActivePatternIdRaw());
    }
    Channel(channel)->SetArmed(1);
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeArrangement));
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ(patterns, doc->GetPatternCount());
    EXPECT_EQ(0, Channel(channel)->GetTimeline().GetSize());
    EXPECT_EQ(0, HistoryCount()) << "not even an empty step in the history";
}

TEST_F(RecorderTest, NotesStillHeldAtTheEndOfATakeEndThere)
{
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    Play(NoteOn(60), 1000);
    Play(NoteOn(64), 7000);
    engine.now = 7680 + 200;  // the song has passed the pattern's end
    ASSERT_EQ(S_OK, recorder.EndTake());
    // The first note began before the song passed the pattern's end: it lasts
    // to that end.
    EXPECT_EQ((std::vector<Heard>{{1000, 60, 90, 6680}, {7000, 64, 90, 680}}),
              NotesOf(Pattern(doc->GetActivePatternIdRaw())));
}

TEST_F(RecorderTest, PatternRecordingLoopsOverThePatternAndReplacesWhatEachPassCovers)
{
    for (BOOL replace : {FALSE, TRUE}) {
        SCOPED_TRACE(replace);
        CUndoHistory::Instance().Clear();
        CPattern* p = nullptr;
        const SHORT id = doc->NextPatternId();
        ASSERT_EQ(S_OK, doc->CreatePattern(id, FALSE, nullptr, &p));
        p->SetDuration(3840);
        ASSERT_EQ(S_OK, doc->SetActivePattern(id, nullptr));
        recorder.SetReplace(replace);
        engine.recordMode = 1;
        ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
        PlayNote(60, 100, 100);
        Play(NoteOn(64), 3000);
        EXPECT_EQ(S_OK, recorder.WrapAtPatternEnd(3800));
        EXPECT_EQ(S_OK, recorder.WrapAtPatternEnd(3841));
        recorder.FetchNewEventsFlag();
        EXPECT_EQ(2u, NotesOf(p).size()) << "the pass was written when it ended";
        EXPECT_EQ(replace, recorder.IsRecordingPattern(id) && recorder.GetOverwriteRecordMode() == 1);
        Play(NoteOff(64), 3900);  // its note ended with the pass
        PlayNote(62, 3840 + 100, 200);
        ASSERT_EQ(S_OK, recorder.EndTake());
        // Replacing clears from the pass's first event to the pattern's end.
        if (replace)
            EXPECT_EQ((std::vector<Heard>{{100, 62, 90, 200}}), NotesOf(p));
        else
            EXPECT_EQ((std::vector<Heard>{{100, 60, 90, 100}, {100, 62, 90, 200}, {3000, 64, 90, 839}}),
                      NotesOf(p));
        EXPECT_EQ(1, HistoryCount());
    }
}

TEST_F(RecorderTest, ArrangementRecordingEndsHeldNotesAtTheLoopEnd)
{
    Channel(channel)->SetArmed(1);
    engine.now = 0;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeArrangement));
    Play(NoteOn(60), 3000);
    EXPECT_EQ(S_OK, recorder.CommitTouches(0, 3840));
    Play(NoteOff(60), 200);  // after the wrap: its note was closed
    PlayNote(62, 400, 100);
    ASSERT_EQ(S_OK, recorder.EndTake());
    ASSERT_EQ(1, Channel(channel)->GetTimeline().GetSize());
    EXPECT_EQ((std::vector<Heard>{{400, 62, 90, 100}, {3000, 60, 90, 840}}),
              NotesOf(Channel(channel)->GetTimeline()[0].GetPattern()));
}

TEST_F(RecorderTest, NotesPlayedDuringTheCountInLandAtTheTakeStart)
{
    // During a count-in the engine reports the play position, unmoved.
    Channel(channel)->SetArmed(1);
    engine.now = 1920;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeArrangement));
    Play(NoteOn(60), 1920);
    Play(NoteOn(64), 1920);
    Play(NoteOff(64), 1920);  // released before the song moved: nothing
    Play(NoteOff(60), 1920 + 480);
    ASSERT_EQ(S_OK, recorder.EndTake());
    const CPatternInstance& placed = Channel(channel)->GetTimeline()[0];
    EXPECT_EQ(1920, placed.GetStart());
    EXPECT_EQ((std::vector<Heard>{{0, 60, 90, 480}}), NotesOf(placed.GetPattern()));
}

TEST_F(RecorderTest, TouchedAutomationIsThinnedAndReplacesTheTouchedSpan)
{
    Channel(channel)->SetArmed(1);
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(0, &aux));
    const SHORT bus = aux->GetHostId();
    CPattern* automation = aux->GetAutomationPattern();
    ASSERT_NE(nullptr, automation);
    CMfxEvent old(MfxAutomation);
    old.m_time = 1040;
    old.m_automation.param = 2;
    old.m_value = 0.9f;
    ASSERT_EQ(S_OK, automation->InsertEvent(old, FALSE, nullptr, FALSE));
    old.m_time = 5000;
    ASSERT_EQ(S_OK, automation->InsertEvent(old, FALSE, nullptr, FALSE));

    engine.now = 1000;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeArrangement));
    ASSERT_EQ(S_OK, doc->BeginBusParamTouch(2, static_cast<WORD>(bus)));
    EXPECT_TRUE(recorder.IsParamTouched(2));
    EXPECT_FALSE(recorder.IsParamTouched(3));
    for (LONG t : {0, 30, 60}) {
        engine.now = 1000 + t;
        ASSERT_EQ(S_OK, doc->RecordBusParamValue(2, static_cast<WORD>(bus), 0.25f + t / 100.0f));
    }
    ASSERT_EQ(S_OK, doc->EndBusParamTouch(2, static_cast<WORD>(bus)));
    EXPECT_FALSE(recorder.IsParamTouched(2));
    ASSERT_EQ(S_OK, recorder.EndTake());

    // Bus automation keeps song time; the old point inside the touch went.
    std::vector<std::pair<LONG, float>> points;
    for (const CMfxEvent& e : automation->GetEvents())
        points.emplace_back(e.m_time, e.m_value);
    EXPECT_EQ((std::vector<std::pair<LONG, float>>{{1000, 0.25f}, {1060, 0.85f}, {5000, 0.9f}}), points);
    EXPECT_EQ(2, automation->GetLaneTarget());
    EXPECT_EQ(1, HistoryCount());
    EXPECT_EQ(S_FALSE, recorder.BeginParamTouch(2, bus)) << "not recording";
}

TEST_F(RecorderTest, AutomationOfTheActiveChannelGoesIntoItsPatternTake)
{
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    engine.now = 7680 + 300;
    ASSERT_EQ(S_OK, recorder.RecordParamValue(44, channel, 0.5f));
    ASSERT_EQ(S_OK, recorder.EndTake());
    CPattern* made = Pattern(doc->GetActivePatternIdRaw());
    ASSERT_NE(nullptr, made);
    ASSERT_EQ(1u, made->GetEvents().size());
    EXPECT_EQ(300, made->GetEvents()[0].m_time);
    EXPECT_EQ(44u, MfxCopy(made->GetEvents()[0].m_automation.param));
}

TEST_F(RecorderTest, AFailedCommitEndsTheTakeAndReports)
{
    CPattern* p = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(7, FALSE, nullptr, &p));
    p->SetDuration(3840);
    ASSERT_EQ(S_OK, doc->SetActivePattern(7, nullptr));
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    PlayNote(60, 100, 100);
    // An edit made during the take joins its command and fails, which
    // aborts the whole command.
    EXPECT_EQ(E_FAIL, RunProjectEdit(nullptr, true, doc->AsCommandDocument(), "edit", 0,
                                     [](CMvCommand*) { throw CHResultException(E_FAIL); }));
    EXPECT_TRUE(FAILED(recorder.EndTake()));
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_TRUE(NotesOf(p).empty()) << "nothing of the take is applied";
    EXPECT_EQ(0, HistoryCount());
    EXPECT_EQ(E_UNEXPECTED, recorder.EndTake());
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern)) << "the recorder is free again";
    PlayNote(60, 100, 100);
    EXPECT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ(1u, NotesOf(p).size());
}

TEST_F(RecorderTest, APatternWithoutLengthRecordsNothingAndNeverDividesByIt)
{
    CPattern* p = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(9, FALSE, nullptr, &p));
    p->SetDuration(0);
    ASSERT_EQ(S_OK, doc->SetActivePattern(9, nullptr));
    engine.recordMode = 1;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    PlayNote(60, 100, 100);
    EXPECT_EQ(S_FALSE, recorder.WrapAtPatternEnd(5000));
    EXPECT_EQ(E_INVALIDARG, recorder.SetTakeDuration(9, 0));
    EXPECT_EQ(E_FAIL, recorder.SetTakeDuration(10, 960)) << "no target";
    EXPECT_EQ(S_OK, recorder.SetTakeDuration(9, 960));
    PlayNote(62, 1000, 100);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ((std::vector<Heard>{{40, 62, 90, 100}}), NotesOf(p));
}

TEST_F(RecorderTest, TakesAreRefusedWithoutWhatTheyRecordInto)
{
    CRecorder lone;
    EXPECT_EQ(E_UNEXPECTED, lone.BeginTake(CRecorder::kModePattern)) << "no document";
    EXPECT_EQ(E_INVALIDARG, recorder.BeginTake(4));
    EXPECT_EQ(E_UNEXPECTED, recorder.BeginTake(CRecorder::kModeArrangement)) << "no armed channel";
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(0, &aux));
    ASSERT_EQ(S_OK, doc->SetActiveContainer(aux->GetHostId(), TRUE, nullptr));
    RecordButton button(recorder, engine);
    EXPECT_EQ(S_FALSE, button.Press(false));
    EXPECT_EQ(E_UNEXPECTED, recorder.BeginTake(CRecorder::kModePattern)) << "no active channel";
    EXPECT_EQ(E_UNEXPECTED, recorder.EndTake());
    EXPECT_EQ(0, recorder.OnShortMsg(NoteOn(60), 0, 0));
}

TEST_F(RecorderTest, DiscardingATakeWithTheDocumentUndoesWhatItPrepared)
{
    const int patterns = doc->GetPatternCount();
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    PlayNote(60, 100, 100);
    recorder.FetchNewEventsFlag();
    ASSERT_EQ(S_OK, recorder.SetDocument(doc));
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(patterns, doc->GetPatternCount());
    EXPECT_EQ(0, HistoryCount());
    EXPECT_EQ(S_OK, recorder.SetGlobalArm(TRUE));
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    EXPECT_EQ(E_UNEXPECTED, recorder.SetGlobalArm(FALSE));
    EXPECT_EQ(E_UNEXPECTED, recorder.BeginTake(CRecorder::kModePattern)) << "a take runs";
}

TEST_F(RecorderTest, StepLengthsFollowTheIndexAndModifier)
{
    struct Case {
        DWORD index;
        DWORD modifier;
        LONG expected;
    };
    const Case cases[] = {{1, 0, 1920}, {2, 0, 960}, {7, 0, 30}, {3, 1, 720}, {2, 2, 640}, {0, 0, 3840}, {9, 0, 960}};
    for (const Case& c : cases) {
        recorder.SetStepSize(c.index);
        recorder.SetStepModifier(c.modifier);
        LONG d = 0;
        EXPECT_EQ(S_OK, recorder.GetStepDuration(0, &d));
        EXPECT_EQ(c.expected, d) << "index " << c.index << " modifier " << c.modifier;
    }
    EXPECT_EQ(E_POINTER, recorder.GetStepDuration(0, nullptr));
}

TEST_F(RecorderTest, TakeBuffersAnswerForTheirTargetsOnly)
{
    CRecBuffer* buffer = reinterpret_cast<CRecBuffer*>(1);
    EXPECT_EQ(S_FALSE, recorder.FindRecordTarget(1, &buffer));
    EXPECT_EQ(nullptr, buffer);
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    const SHORT id = doc->GetActivePatternIdRaw();
    EXPECT_EQ(E_POINTER, recorder.FindRecordTarget(id, nullptr));
    EXPECT_EQ(E_UNEXPECTED, recorder.FindRecordTarget(id + 1, &buffer));
    ASSERT_EQ(S_OK, recorder.FindRecordTarget(id, &buffer));
    LONG first = 0;
    LONG end = 0;
    EXPECT_EQ(S_FALSE, buffer->GetFirstEventTimes(&first, &end));
    EXPECT_EQ(-1, end);
    EXPECT_EQ(E_POINTER, buffer->GetFirstEventTimes(&first, nullptr));
    EXPECT_EQ(S_FALSE, recorder.FindTakeBuffer(channel, &buffer));
    EXPECT_EQ(nullptr, buffer);
    ASSERT_EQ(S_OK, recorder.EndTake());
}

TEST_F(RecorderTest, LiveInputWrapsAndTheUIThreadsDrainMeetSafely)
{
    struct NoScope {};
    engine.recordMode = 1;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    const SHORT id = doc->GetActivePatternIdRaw();
    PlayThroughThreads<NoScope>(kThreadedNotes);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ(0u, recorder.GetDroppedCount());
    const std::vector<Heard> notes = NotesOf(Pattern(id));
    ASSERT_EQ(static_cast<std::size_t>(kThreadedNotes), notes.size());
    for (const Heard& n : notes) {
        EXPECT_GE(n.time, 0);
        EXPECT_LT(n.time, 7680);
        EXPECT_GT(n.duration, 0);
    }
}

TEST(RecorderMaking, TheProgramsEngineFactoryMakesTheRecorder)
{
    CHostingEngineFactory factory;
    ITransportRecorder* made = factory.CreateRecorder();
    ASSERT_NE(nullptr, made);
    auto* recorder = dynamic_cast<CRecorder*>(made);
    ASSERT_NE(nullptr, recorder);
    EXPECT_EQ(static_cast<CMidiSink*>(recorder), made->GetMidiSink());
    EXPECT_FALSE(made->IsRecording());
    EXPECT_EQ(E_UNEXPECTED, made->EndTake());
    delete made;
}

}  // namespace
