#include "model/CTempoMap.h"

#include <gtest/gtest.h>

#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "tests/model/ChunkBytes.h"

using chunktest::Bytes;

namespace {

constexpr LONGLONG kMicro = 1000000;
constexpr LONGLONG kRefTime = 10000000;  // 100-ns units

CTempoMap MapOf(std::initializer_list<std::pair<LONG, LONG>> changes)
{
    CTempoMap map;
    int i = 0;
    for (auto [tick, tempo] : changes) {
        if (i == 0)
            EXPECT_EQ(S_OK, map.Set(0, CTempo(tick, tempo)));
        else
            EXPECT_EQ(S_OK, map.Insert(i, CTempo(tick, tempo)));
        ++i;
    }
    return map;
}

std::vector<std::pair<LONG, LONG>> Entries(const CTempoMap& map)
{
    std::vector<std::pair<LONG, LONG>> out;
    for (int i = 0; i < map.GetSize(); ++i)
        out.emplace_back(map[i].m_tick, map[i].m_tempo);
    return out;
}

class CTempoMapTest : public ::testing::Test {
protected:
    void TearDown() override { CUndoHistory::Instance().Clear(); }
};

TEST_F(CTempoMapTest, ANewMapHoldsOneChangeOf140BpmAtTickZero)
{
    CTempoMap map;
    EXPECT_EQ((std::vector<std::pair<LONG, LONG>>{{0, 14000}}), Entries(map));
    EXPECT_EQ(429, map.TicksToTime(960, 1000));  // 428571 us, rounded half up
    EXPECT_EQ(25.0, map.GetFrameRate());
    EXPECT_EQ(960, map.GetTicksPerQuarter());
}

TEST_F(CTempoMapTest, ConvertsAcrossTempoChangesBothWays)
{
    CTempoMap map = MapOf({{0, 12000}, {1920, 6000}});
    EXPECT_EQ(2 * kMicro, map.TicksToTime(2880, kMicro));
    EXPECT_EQ(2880, map.TimeToTicks(2 * kMicro, kMicro));
    EXPECT_EQ(1, map.IndexAt(1920));
    EXPECT_EQ(0, map.IndexAt(1919));
    EXPECT_EQ(0, map.IndexAt(-5));
    EXPECT_EQ(1, map.IndexAtSeconds(1.0));
    EXPECT_EQ(0, map.IndexAtSeconds(0.999));
    EXPECT_EQ(-1, map.IndexAtSeconds(-0.5));
    EXPECT_EQ(6000, map.GetTempoAt(5000));
}

TEST_F(CTempoMapTest, TicksSurviveARoundTripAtEveryScale)
{
    CTempoMap map = MapOf({{0, 14000}, {3840, 9000}, {7000, 25000}, {20000, 800}});
    for (LONGLONG scale : {kMicro, kRefTime, LONGLONG(44100), LONGLONG(96000)})
        for (LONG tick : {0, 1, 959, 3839, 3840, 6999, 7000, 12345, 20000, 25000, 1000000}) {
            SCOPED_TRACE(testing::Message() << "scale " << scale << " tick " << tick);
            EXPECT_EQ(tick, map.TimeToTicks(map.TicksToTime(tick, scale), scale));
        }
}

TEST_F(CTempoMapTest, ReferenceTimeIsSixtyFourBitAndExactPastSixteenMinutes)
{
    // At 120 BPM one tick is 5,000,000 / 960 units of 100 ns.
    CTempoMap map = MapOf({{0, 12000}});
    struct Case {
        const char* name;
        LONG tick;
        LONGLONG referenceTime;
    };
    const Case cases[] = {
        {"past 2^31 units (214.7 s)", 480000, 2500000000LL},
        {"an hour", 6912000, 36000000000LL},
        {"a day", 165888000, 864000000000LL},
        {"the last tick", INT32_MAX, 11184810661458LL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.referenceTime, map.TicksToTime(c.tick, kRefTime));
        EXPECT_EQ(c.tick, map.TimeToTicks(c.referenceTime, kRefTime));
    }
    // Sample frames of a day at 96 kHz are past 2^31 too.
    EXPECT_EQ(8294400000LL, map.TicksToTime(165888000, 96000));
    // A tick is 32-bit: a time beyond the last one saturates there.
    EXPECT_EQ(INT32_MAX, map.TimeToTicks(INT64_MAX / 2, kRefTime));
    EXPECT_EQ(INT32_MIN, map.TimeToTicks(-(INT64_MAX / 2), kRefTime));
}

TEST_F(CTempoMapTest, TimesBeforeTheSongStartRoundHalfUpToo)
{
    CTempoMap map;
    EXPECT_EQ(-429, map.TicksToTime(-960, 1000));  // -428.571 ms
    EXPECT_EQ(-960, map.TimeToTicks(map.TicksToTime(-960, kRefTime), kRefTime));
}

TEST_F(CTempoMapTest, ANonPositiveScaleGivesZeroInsteadOfDividingByIt)
{
    CTempoMap map;
    EXPECT_EQ(0, map.TimeToTicks(1000, 0));
    EXPECT_EQ(0, map.TicksToTime(1000, -1));
    EXPECT_EQ(0, map.TimeToFixedTicks(1000, 0));
    EXPECT_EQ(0, map.FixedTicksToTime(1000, 0));
}

TEST_F(CTempoMapTest, EntriesWithoutAPositiveTempoAreRefused)
{
    CTempoMap map = MapOf({{0, 12000}});
    EXPECT_EQ(E_INVALIDARG, map.Insert(1, CTempo(960, 0)));
    EXPECT_EQ(E_INVALIDARG, map.Set(0, CTempo(0, -14000)));
    EXPECT_EQ((std::vector<std::pair<LONG, LONG>>{{0, 12000}}), Entries(map));
}

TEST_F(CTempoMapTest, RemovingTheFirstOfTwoEntriesLeavesTheSecondAtTickZero)
{
    CTempoMap map = MapOf({{0, 12000}, {1920, 6000}});
    EXPECT_EQ(S_OK, map.Remove(0));
    EXPECT_EQ((std::vector<std::pair<LONG, LONG>>{{0, 6000}}), Entries(map));
    EXPECT_EQ(0, map[0].m_time);
    EXPECT_EQ(E_INVALIDARG, map.Remove(1));
}

TEST_F(CTempoMapTest, LiveTempoIsBoundedAndOverridesTheMapUntilCleared)
{
    CTempoMap map = MapOf({{0, 12000}});
    EXPECT_EQ(E_INVALIDARG, map.SetFixedTempo(0, 799));
    EXPECT_EQ(E_INVALIDARG, map.SetFixedTempo(0, 25001));
    EXPECT_EQ(S_FALSE, map.GetFixedTempo(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, map.SetFixedTempo(0, 25000));
    EXPECT_EQ(S_OK, map.SetFixedTempo(0, 800));

    // Anchored under the tempo in force, the live one included: 4 s at 8 BPM.
    EXPECT_EQ(S_OK, map.SetFixedTempo(1920, 6000));
    EXPECT_EQ(16 * kMicro, map.TicksToTime(2880, kMicro));
    map.ClearFixedTempo();

    // At tick 1920 (1 s) the tempo becomes 60 BPM.
    EXPECT_EQ(S_OK, map.SetFixedTempo(1920, 6000));
    LONG tick = 0, tempo = 0;
    double micro = 0;
    EXPECT_EQ(S_OK, map.GetFixedTempo(&tick, &tempo, &micro));
    EXPECT_EQ(1920, tick);
    EXPECT_EQ(6000, tempo);
    EXPECT_DOUBLE_EQ(1e6, micro);
    EXPECT_EQ(6000, map.GetTempoAt(0));
    EXPECT_EQ(2 * kMicro, map.TicksToTime(2880, kMicro));
    EXPECT_EQ(1500000, map.TicksToTime(2880, kMicro, TRUE));
    EXPECT_EQ(2880, map.TimeToTicks(2 * kMicro, kMicro));

    map.RebaseFixedTempo();  // playback wrapped: the live tempo runs from the start
    EXPECT_EQ(kMicro, map.TicksToTime(960, kMicro));
    map.ClearFixedTempo();
    EXPECT_EQ(500000, map.TicksToTime(960, kMicro));
    EXPECT_EQ(S_FALSE, map.GetFixedTempo(&tick, &tempo, &micro));
}

TEST_F(CTempoMapTest, ClearTempoRangeKeepsTickZeroAndIsUndoable)
{
    CTempoMap map = MapOf({{0, 12000}, {960, 9000}, {1920, 6000}, {200000, 14000}});
    EXPECT_EQ(S_OK, map.ClearTempoRange(0, 100000, TRUE, nullptr));
    EXPECT_EQ((std::vector<std::pair<LONG, LONG>>{{0, 12000}, {200000, 14000}}), Entries(map));
    CUndoHistory& history = CUndoHistory::Instance();
    EXPECT_STREQ("Clear Tempo Range", history.GetCommandName(0));
    EXPECT_EQ(S_OK, history.Undo());
    EXPECT_EQ(4, map.GetSize());
    EXPECT_EQ(2166667, map.TicksToTime(2880, kMicro));  // 0.5 s + 0.667 s + 1 s
    EXPECT_EQ(S_OK, map.ClearTempoRange(0, 100000, FALSE, nullptr));  // applied, not undoable
    EXPECT_EQ(2, map.GetSize());
    int count = 0;
    history.GetCount(&count);
    EXPECT_EQ(1, count);
}

TEST_F(CTempoMapTest, ClearTempoRangeJoinsAGivenCommand)
{
    CTempoMap map = MapOf({{0, 12000}, {960, 9000}});
    CMvCommand* command = BeginProjectCommand(nullptr, "Move Tempos", 0x1000, TRUE, TRUE);
    EXPECT_EQ(S_OK, map.ClearTempoRange(1, 960, TRUE, command));
    EXPECT_EQ(1, command->GetStepCount());
    EXPECT_EQ(S_OK, command->Commit(&CUndoHistory::Instance()));
    EXPECT_STREQ("Move Tempos", CUndoHistory::Instance().GetCommandName(0));
}

TEST_F(CTempoMapTest, SelectionFlagsAreKeptPerEntry)
{
    CTempoMap map = MapOf({{0, 12000}, {960, 9000}, {1920, 6000}});
    EXPECT_EQ(S_OK, map.SetSelected(0, TRUE));
    EXPECT_EQ(S_OK, map.SetSelected(2, 0x100));  // low byte only: clear
    EXPECT_EQ(S_OK, map.SetSelected(1, 2));
    EXPECT_EQ(E_INVALIDARG, map.SetSelected(3, TRUE));
    std::vector<int> selected;
    EXPECT_EQ(S_OK, map.GetSelectedIndices(&selected));
    EXPECT_EQ((std::vector<int>{0, 1}), selected);
    EXPECT_EQ(E_INVALIDARG, map.GetSelectedIndices(&selected));
    EXPECT_EQ(E_POINTER, map.GetSelectedIndices(nullptr));
}

TEST_F(CTempoMapTest, SmpteFramesRoundAsAsked)
{
    CTempoMap map = MapOf({{0, 12000}});  // 25 fps
    struct Case {
        LONG tick;
        LONG truncated, halfUp, up;
    };
    const Case cases[] = {{960, 12, 13, 13}, {96, 1, 1, 2}, {1920, 25, 25, 25}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tick);
        EXPECT_EQ(c.truncated, map.TicksToFrames(c.tick, CTempoMap::kTruncate));
        EXPECT_EQ(c.halfUp, map.TicksToFrames(c.tick, CTempoMap::kRoundHalfUp));
        EXPECT_EQ(c.up, map.TicksToFrames(c.tick, CTempoMap::kRoundUp));
    }
    // 13 frames are 0.52 s, 998.4 ticks.
    EXPECT_EQ(998, map.FramesToTicks(13, CTempoMap::kTruncate));
    EXPECT_EQ(998, map.FramesToTicks(13, CTempoMap::kRoundHalfUp));
    EXPECT_EQ(999, map.FramesToTicks(13, CTempoMap::kRoundUp));
    EXPECT_EQ(0, map.IndexAtFrame(13));
}

TEST_F(CTempoMapTest, HoursMinutesSecondsAndFrames)
{
    CTempoMap map;
    struct Case {
        int code;
        LONG frames;
        int h, m, s, f;
    };
    const Case cases[] = {
        {CTempoMap::kFps2997Drop, 1800, 0, 1, 0, 2},   {CTempoMap::kFps2997Drop, 17982, 0, 10, 0, 0},
        {CTempoMap::kFps2997Drop, 1799, 0, 0, 59, 29}, {CTempoMap::kFps25, 90000, 1, 0, 0, 0},
        {CTempoMap::kFps24, 24 * 61 + 5, 0, 1, 1, 5},  {CTempoMap::kFps30, 30 * 3600, 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " frames " << c.frames);
        map.SetFrameRateCode(c.code);
        int h = -1, m = -1, s = -1, f = -1;
        map.FramesToSmpte(c.frames, &h, &m, &s, &f);
        EXPECT_EQ(c.h, h);
        EXPECT_EQ(c.m, m);
        EXPECT_EQ(c.s, s);
        EXPECT_EQ(c.f, f);
        EXPECT_EQ(c.frames, map.SmpteToFrames(h, m, s, f));
    }
}

TEST_F(CTempoMapTest, DropFrameLabelsAndCountsInvertEachOther)
{
    CTempoMap map;
    map.SetFrameRateCode(CTempoMap::kFps30Drop);
    for (LONG n = 0; n < 2 * 17982 + 100; ++n) {
        int h, m, s, f;
        map.FramesToSmpte(n, &h, &m, &s, &f);
        ASSERT_FALSE(s == 0 && m % 10 != 0 && f < 2) << n;  // labels skipped each minute
        ASSERT_EQ(n, map.SmpteToFrames(h, m, s, f)) << n;
    }
}

TEST_F(CTempoMapTest, FixedPointTicks)
{
    EXPECT_EQ(2, FixedToTicks(0x18000));
    EXPECT_EQ(1, FixedToTicks(0x17FFF));
    EXPECT_EQ(-65536, TicksToFixed(-1));
    EXPECT_EQ(INT32_MAX, FixedToTicks(INT64_MAX));

    CTempoMap map = MapOf({{0, 12000}, {1920, 6000}});
    EXPECT_EQ(960LL * 65536, map.TimeToFixedTicks(22050, 44100));
    EXPECT_EQ(22050, map.FixedTicksToTime(960LL * 65536, 44100));
    EXPECT_EQ(2880LL * 65536, map.TimeToFixedTicks(2 * 44100, 44100));
    EXPECT_EQ(2 * 44100, map.FixedTicksToTime(2880LL * 65536, 44100));
    EXPECT_EQ(260, map.FixedTicksToTime(0x8000, kMicro));  // half of a 520.8-us tick
    EXPECT_EQ(-960LL * 65536, map.TimeToFixedTicks(-22050, 44100));
}

TEST_F(CTempoMapTest, SavesEachEntryAsTempoThenTick)
{
    CTempoMap map = MapOf({{0, 12000}, {1920, 6000}});
    mvcom::CComPtr<IStream> stream = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, map.Save(stream.Get(), TRUE));
    Bytes payload;
    payload.U32(2).U32(12000).U32(0).U32(6000).U32(1920);
    EXPECT_EQ(payload.AsChunk(0x600C0000), chunktest::BytesOf(stream.Get()));

    CTempoMap loaded;
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, loaded.Load(stream.Get()));
    EXPECT_EQ(Entries(map), Entries(loaded));
    EXPECT_EQ(2 * kMicro, loaded.TicksToTime(2880, kMicro));
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, map.PersistChunk(0x600C0001, nullptr));
}

TEST_F(CTempoMapTest, LoadingMovesTheFirstEntryToTickZero)
{
    Bytes payload;
    payload.U32(2).U32(12000).U32(480).U32(6000).U32(2400);
    CTempoMap map;
    ASSERT_EQ(S_OK, map.Load(chunktest::StreamOf(payload.AsChunk(0x600C0000)).Get()));
    EXPECT_EQ((std::vector<std::pair<LONG, LONG>>{{0, 12000}, {2400, 6000}}), Entries(map));
}

TEST_F(CTempoMapTest, ABadChunkLeavesTheMapAsItWas)
{
    struct Case {
        const char* name;
        Bytes payload;
    };
    Case cases[] = {
        {"a tempo of zero", Bytes().U32(2).U32(12000).U32(0).U32(0).U32(960)},
        {"fewer entries than counted", Bytes().U32(3).U32(12000).U32(0).U32(6000).U32(960)},
        {"a count far beyond the chunk", Bytes().U32(0xFFFFFFFF).U32(12000).U32(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTempoMap map = MapOf({{0, 9000}, {960, 6000}});
        EXPECT_TRUE(FAILED(map.Load(chunktest::StreamOf(c.payload.AsChunk(0x600C0000)).Get())));
        EXPECT_EQ((std::vector<std::pair<LONG, LONG>>{{0, 9000}, {960, 6000}}), Entries(map));
    }
}

}  // namespace
