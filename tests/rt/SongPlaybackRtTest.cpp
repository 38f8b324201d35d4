// A song of four sine-instrument channels played through the song document,
// watched from its third block on: rendering the song's data and its audio
// graph block by block touches no heap and waits on no lock.
#include <gtest/gtest.h>

#include "tests/engine/hosting/SineSongFixture.h"
#include "tests/rt/RtProbe.h"

namespace {

using namespace songplay;

using SongPlaybackRt = SineSongFixture;

TEST_F(SongPlaybackRt, PlayingTheSongNeitherAllocatesNorWaits)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    const int blocks = SongBlocks();
    mvrt::Counts counts;
    std::vector<float> song = Play(blocks, mvrt::WatchBlocks(2, blocks - 1, &counts));
    ASSERT_EQ(static_cast<std::size_t>(blocks) * kFrames * 2, song.size());
    EXPECT_EQ(0, counts.allocations);
    EXPECT_EQ(0, counts.releases);
    EXPECT_EQ(0, counts.blockingLocks);
}

}  // namespace
