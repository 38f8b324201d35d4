// The recorder's calls from the MIDI input thread (live messages) and the
// audio thread (pattern-end and loop wraps, the playback queries), watched:
// they pair notes and queue what they finished without the heap and without
// waiting on a lock, also while the UI thread drains the queue into the take
// at the same time.
#include <gtest/gtest.h>

#include "tests/engine/hosting/RecorderFixture.h"
#include "tests/rt/RtProbe.h"

namespace {

using namespace rectest;

using RecorderRt = RecorderFixture;

TEST_F(RecorderRt, LiveInputAndPatternWrapsNeitherAllocateNorWait)
{
    engine.recordMode = 1;
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModePattern));
    const SHORT id = doc->GetActivePatternIdRaw();
    mvrt::ResetCounts();
    PlayThroughThreads<mvrt::WatchedScope>(kThreadedNotes);
    const mvrt::Counts counts = mvrt::ReadCounts();
    EXPECT_EQ(0, counts.allocations);
    EXPECT_EQ(0, counts.releases);
    EXPECT_EQ(0, counts.blockingLocks);

    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ(0u, recorder.GetDroppedCount());
    std::size_t notes = NotesOf(Pattern(id)).size();
    EXPECT_EQ(static_cast<std::size_t>(kThreadedNotes), notes) << "every note arrived";
}

TEST_F(RecorderRt, StepNotesAndLoopWrapsNeitherAllocateNorWait)
{
    Channel(channel)->SetArmed(1);
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeArrangement));
    mvrt::Counts counts;
    {
        mvrt::ResetCounts();
        mvrt::WatchedScope watched;
        // Notes held over the loop end are closed there by the audio thread.
        engine.now = 3000;
        recorder.OnShortMsg(NoteOn(60), 0, 0);
        recorder.OnShortMsg(NoteOn(64), 0, 0);
        recorder.CommitTouches(0, 3840);
        recorder.WrapAtPatternEnd(0);
        engine.now = 100;
        recorder.OnShortMsg(NoteOff(60), 0, 0);
        recorder.OnShortMsg(NoteOn(67), 0, 0);
        engine.now = 300;
        recorder.OnShortMsg(NoteOff(67), 0, 0);
        counts = mvrt::ReadCounts();
    }
    EXPECT_EQ(0, counts.allocations);
    EXPECT_EQ(0, counts.releases);
    EXPECT_EQ(0, counts.blockingLocks);
    ASSERT_EQ(S_OK, recorder.EndTake());
    EXPECT_EQ((std::vector<Heard>{{100, 67, 90, 200}, {3000, 60, 90, 840}, {3000, 64, 90, 840}}),
              NotesOf(Channel(channel)->GetTimeline()[0].GetPattern()));

    recorder.SetStepSize(3);
    ASSERT_EQ(S_OK, recorder.BeginTake(CRecorder::kModeStep));
    {
        mvrt::ResetCounts();
        mvrt::WatchedScope watched;
        for (int i = 0; i < 40; ++i) {
            recorder.OnShortMsg(NoteOn(static_cast<BYTE>(60 + i % 12)), 0, 0);
            recorder.OnShortMsg(NoteOff(static_cast<BYTE>(60 + i % 12)), 0, 0);
        }
        counts = mvrt::ReadCounts();
    }
    EXPECT_EQ(0, counts.allocations);
    EXPECT_EQ(0, counts.blockingLocks);
    ASSERT_EQ(S_OK, recorder.EndTake());
}

}  // namespace
