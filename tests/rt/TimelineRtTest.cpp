// A channel's timeline rendered span by span, watched: turning pattern
// instances into events, with swing, transposition, channel overrides and
// automation, seeking their play cursors, touches no heap and waits for no
// lock, wherever the spans fall.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/CTimeline.h"
#include "model/CMfxBlockRing.h"
#include "tests/model/PatternTestSupport.h"
#include "tests/rt/RtProbe.h"

namespace {

using namespace pattest;

class TimelineRtTest : public SongFixture {
protected:
    CTimeline timeline{nullptr};
};

TEST_F(TimelineRtTest, RenderingSpansAndSeekingCursorsNeitherAllocatesNorWaits)
{
    PatternPtr patterns[] = {
        AddPattern(1, 1920, {Note(0, 60), Note(240, 62), Controller(960, 7, 100), Automation(1200, 3, 0.5f)}),
        AddPattern(2, 960, {Note(100, 70), Note(900, 71, 480)}),
        AddPattern(3, 3840, {Note(300, 80), Note(3000, 81)})};
    patterns[1]->SetSwing(60);
    std::mt19937 rng(11);
    std::uniform_int_distribution<LONG> start(0, 100000), length(1, 20000), offset(0, 959), shift(-12, 12);
    for (int i = 0; i < 200; ++i) {
        CPattern* pattern = patterns[i % 3].get();
        const LONG s = start(rng);
        CPatternInstance instance = Placed(pattern, s, s + length(rng), offset(rng) % pattern->GetDuration());
        ASSERT_EQ(S_OK, instance.SetTranspose(shift(rng)));
        if (i % 4 == 0) {
            ASSERT_EQ(S_OK, instance.SetMidiChannel(static_cast<WORD>(i % 16)));
        }
        ASSERT_EQ(S_OK, timeline.AddPatternInstance(instance, FALSE, nullptr));
    }
    engine.recorder.touchedParam = 3;

    // Sized before playback starts, as a channel sizes its event list.
    std::vector<CMfxEvent> events;
    events.reserve(8192);
    std::vector<CPatternInstance*> instances;
    ASSERT_EQ(S_OK, timeline.GetPatternInstances(&instances));
    std::size_t rendered = 0;
    mvrt::ResetCounts();
    {
        mvrt::WatchedScope watched;
        // Forward through the song, then back as a loop or a locate goes.
        for (LONG from : {0, 50000, 100, 90000, 0}) {
            for (int k = 0; k < 60; ++k) {
                const LONG t = from + k * 555;
                events.clear();
                if (FAILED(timeline.RenderSpan(t, t + 555, &events, 0.5f)))
                    break;
                rendered += events.size();
            }
            for (CPatternInstance* instance : instances)
                instance->SeekTime(from);
        }
    }
    const mvrt::Counts c = mvrt::ReadCounts();
    EXPECT_GT(rendered, 100u) << "the spans rendered events";
    EXPECT_EQ(0, c.allocations);
    EXPECT_EQ(0, c.releases);
    EXPECT_EQ(0, c.blockingLocks);
}

}  // namespace

namespace {

TEST_F(TimelineRtTest, SystemExclusiveDataIsCopiedIntoBlocksAllocatedAhead)
{
    PatternPtr pattern = AddPattern(1, 960, {Note(0, 60), Sysex(100, {0xF0, 0x43, 0x10, 0xF7})});
    ASSERT_EQ(S_OK, timeline.AddPatternInstance(Placed(pattern.get(), 0, 9600), FALSE, nullptr));
    CMfxBlockRing blocks;
    ASSERT_EQ(S_OK, blocks.Create());
    std::vector<CMfxEvent> events;
    events.reserve(64);
    int heard = 0;
    mvrt::ResetCounts();
    {
        mvrt::WatchedScope watched;
        for (LONG t = 0; t < 9600; t += 480) {
            blocks.Reset();
            if (timeline.RenderSpan(t, t + 480, &events, 0.0f, &blocks) != S_OK)
                break;
            for (CMfxEvent& e : events) {
                if (!e.HasBuffer())
                    continue;
                void* data = nullptr;
                DWORD size = 0;
                if (blocks.Owns(e.m_buffer.handle) &&
                    CMfxBufferFactory::GetShared().GetPointer(e.m_buffer.handle, &data, &size) == S_OK &&
                    size == 4 && static_cast<const BYTE*>(data)[1] == 0x43)
                    ++heard;
                // The ring keeps its blocks.
                e.m_buffer.handle = 0;
            }
            events.clear();
        }
    }
    const mvrt::Counts c = mvrt::ReadCounts();
    EXPECT_EQ(10, heard);
    EXPECT_EQ(0, c.allocations);
    EXPECT_EQ(0, c.releases);
    EXPECT_EQ(0, c.blockingLocks);
}

}  // namespace
