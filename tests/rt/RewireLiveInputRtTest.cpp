// The host's live notes handed over by the ReWire device's worker between
// the blocks it renders, watched with those blocks: taking them through the
// ReWire port into every channel's second live queue, and on through the
// synths as the blocks render, touches no heap and waits on no lock.
#include <gtest/gtest.h>

#include "tests/engine/hosting/RewireSongFixture.h"
#include "tests/rt/RtProbe.h"

namespace {

using namespace songplay;

using RewireLiveInputRt = RewireSongFixture;

TEST_F(RewireLiveInputRt, HandingTheHostsNotesOverNeitherAllocatesNorWaits)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    mvrt::Counts counts;
    int handed = 0;
    // A chord pressed and let go, a note before each of six blocks, watched
    // from the first hand-over through the block after the last.
    const std::vector<float> song = Play(16, [&](int block) {
        if (block == 4) {
            mvrt::ResetCounts();
            mvrt::WatchThisThread(true);
        }
        if (block == 11) {
            mvrt::WatchThisThread(false);
            counts = mvrt::ReadCounts();
        }
        if (block < 4 || block >= 10)
            return;
        const BYTE key = static_cast<BYTE>(60 + (block % 3) * 4);
        const DWORD message = block < 7 ? NoteOnMessage(key, 90) : 0x80u | static_cast<DWORD>(key) << 8;
        source.Deliver(source.GetRewirePort(), message, 0);
        ++handed;
    });
    ASSERT_EQ(6, handed);
    EXPECT_EQ(0, counts.allocations);
    EXPECT_EQ(0, counts.releases);
    EXPECT_EQ(0, counts.blockingLocks);
    for (int c = 0; c < kChannels; ++c) {
        EXPECT_EQ(0, Channel(c)->GetHeldNoteCount()) << "every note let go, channel " << c;
        EXPECT_EQ(0u, Channel(c)->GetLiveDropCount());
    }
    EXPECT_EQ(0u, doc->GetLiveDropCount());
    EXPECT_GT(Level(song, 4 * kFrames, 64, 6 * kFrames), 0.01) << "the chord was played";
}

}  // namespace
