// A song of loop clips on the audio thread: the loop player on its track
// stretching its slices to the song's tempo (its channel switching its
// clips on for every span), and the metronome clicking through the player
// in the master bus, allocate nothing and wait on no lock.
#include <gtest/gtest.h>

#include "engine/mixer/CMainBus.h"
#include "tests/engine/hosting/LoopSongFixture.h"
#include "tests/rt/RtProbe.h"

namespace {

using namespace loopsong;

using LoopSongRt = LoopSongFixture;

TEST_F(LoopSongRt, PlayingLoopsAndClicksNeitherAllocatesNorWaits)
{
    ImportLoop(2);
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    ASSERT_EQ(S_OK, main->GetMetronome().SetFirstBeatUsesWave(FALSE));
    ASSERT_EQ(S_OK, main->GetMetronome().SetOtherBeatsUseWave(FALSE));
    doc->SetMetronomeOn(TRUE);
    const int blocks = static_cast<int>(2 * kCycleFrames / kFrames);
    mvrt::Counts counts;
    const std::vector<float> song = PlayFrames(2 * kCycleFrames, mvrt::WatchBlocks(2, blocks - 1, &counts));
    ASSERT_EQ(static_cast<std::size_t>(blocks) * kFrames * 2, song.size());
    EXPECT_EQ(8u, Onsets(song).size()) << "slices and clicks, which share the beats, are heard";
    EXPECT_EQ(0, counts.allocations);
    EXPECT_EQ(0, counts.releases);
    EXPECT_EQ(0, counts.blockingLocks);
}

}  // namespace
