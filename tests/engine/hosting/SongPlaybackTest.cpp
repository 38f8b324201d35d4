// The first song that plays: each note of the four sine channels is heard
// at its tick (within one block) at its velocity's level.
#include <gtest/gtest.h>

#include "tests/engine/hosting/SineSongFixture.h"

namespace {

using namespace songplay;

using SongPlaybackTest = SineSongFixture;

TEST_F(SongPlaybackTest, FourSineChannelsPlayTheirNotesInTimeAndAtTheirLevels)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    const std::vector<float> song = Play(SongBlocks());

    // Silence before the first note.
    const LONGLONG first = TickToSample(kNotes[0].tick);
    float early = 0.0f;
    for (LONGLONG f = 0; f < first - kFrames; ++f)
        early = std::max(early, std::fabs(song[static_cast<std::size_t>(2 * f)]));
    EXPECT_LT(early, 1e-6f);

    std::vector<double> levels;
    for (const PlayedNote& n : kNotes) {
        SCOPED_TRACE("note at tick " + std::to_string(n.tick));
        const LONGLONG due = TickToSample(n.tick);
        // Its level once it sounds, over many cycles, and over one block.
        levels.push_back(Level(song, due + 2 * kFrames, n.key, 16 * kFrames));
        const double steady = Level(song, due + 2 * kFrames, n.key);
        ASSERT_GT(steady, 0.02);
        // The first block in which it is at half its level, block by block
        // from well before it is due: within one block of its time.
        LONGLONG heard = -1;
        for (LONGLONG f = std::max<LONGLONG>(0, due - 4 * kFrames); f + kFrames <= due + 4 * kFrames; f += kFrames / 4)
            if (Level(song, f, n.key) >= 0.5 * steady) {
                heard = f + kFrames / 2;
                break;
            }
        ASSERT_GE(heard, 0);
        EXPECT_LE(std::llabs(heard - due), kFrames) << "heard about " << heard << ", due at " << due;
    }
    // The instrument plays velocity / 127 of full scale; every fader of the
    // path (channel, master bus) stands at unity.
    for (int c = 0; c < kChannels; ++c)
        EXPECT_NEAR(kNotes[c].velocity / 127.0, levels[c], 0.02) << "channel " << c;
}

// A note previewed from the pattern editor's keyboard sounds at once, on the
// active track alone (the last one inserted), at its velocity's level.
TEST_F(SongPlaybackTest, APreviewedNoteSoundsOnTheActiveTrackAlone)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    ASSERT_EQ(doc->GetChannelIdAt(kChannels - 1), doc->GetActiveContainer());
    ASSERT_EQ(S_OK, doc->PreviewNote(60, 64));
    const std::vector<float> song = Play(12);
    EXPECT_NEAR(64 / 127.0, Level(song, 2 * kFrames, 60, 8 * kFrames), 0.02);
}

// Automation turns song ticks into time through the engine's host site,
// which the document hands out; without a site there is none.
TEST_F(SongPlaybackTest, TheDocumentConvertsSongTimeThroughTheEnginesSite)
{
    IMfxTimeConverter* converter = doc->GetTimeConverter();
    ASSERT_NE(nullptr, converter);
    MFX_TIME time{};
    time.format = MfxTimeTicks;
    time.ticks = 4800;
    ASSERT_EQ(S_OK, converter->ConvertTime(&time, MfxTimeSamples));
    EXPECT_NEAR(static_cast<double>(TickToSample(4800)), static_cast<double>(time.samples), 1.0);
    engine.hostSite = nullptr;
    EXPECT_EQ(nullptr, doc->GetTimeConverter());
    engine.hostSite = site;
}

}  // namespace
