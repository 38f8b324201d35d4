#include "model/CMeterKeySigMap.h"

#include <gtest/gtest.h>

#include <tuple>

#include "model/CUndoHistory.h"
#include "tests/model/ChunkBytes.h"

using chunktest::Bytes;

namespace {

using Mbt = std::tuple<LONG, int, int>;
// measure, numerator, power, start tick
using Row = std::tuple<LONG, LONG, LONG, LONG>;

std::vector<Row> Rows(const CMeterKeySigMap& map)
{
    std::vector<Row> out;
    for (int i = 0; i < map.GetSize(); ++i)
        out.emplace_back(map[i].m_measure, map[i].m_numerator, map[i].m_power, map[i].m_startTick);
    return out;
}

Mbt MbtOf(const CMeterKeySigMap& map, LONG tick)
{
    LONG m = 0;
    SHORT b = 0, k = 0;
    map.TickToMbt(tick, &m, &b, &k);
    return {m, b, k};
}

// 4/4 from measure 1, 3/4 from measure 3.
CMeterKeySigMap FourThenThree()
{
    CMeterKeySigMap map;
    EXPECT_EQ(S_OK, map.Insert(1, CMeterKey(3, 3, 2)));
    return map;
}

class CMeterKeySigMapTest : public ::testing::Test {
protected:
    void TearDown() override { CUndoHistory::Instance().Clear(); }
    static int HistoryCount()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
};

TEST_F(CMeterKeySigMapTest, ANewMapIsFourFourFromMeasureOne)
{
    CMeterKeySigMap map;
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}}), Rows(map));
    EXPECT_EQ(Mbt(2, 1, 0), MbtOf(map, 3840));
    EXPECT_EQ(960, map.MbtToTick(1, 2, 0));
    EXPECT_EQ(0, map.MbtToTick(0, 0, 0));
    EXPECT_EQ(map.MbtToTick(1, 1, 0), map.MbtToTick(-4, -1, 0));
}

TEST_F(CMeterKeySigMapTest, TickLengthsFollowNumeratorAndBeatUnit)
{
    struct Case {
        LONG numerator, power, perBeat, perMeasure;
    };
    const Case cases[] = {{4, 2, 960, 3840}, {6, 3, 480, 2880}, {2, 1, 1920, 3840}, {127, 11, 1, 127}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.numerator << "/" << (1 << c.power));
        CMeterKeySigMap map;
        ASSERT_EQ(S_OK, map.Set(0, CMeterKey(1, c.numerator, c.power)));
        EXPECT_EQ(c.perBeat, map[0].m_ticksPerBeat);
        EXPECT_EQ(c.perMeasure, map[0].m_ticksPerMeasure);
    }
}

TEST_F(CMeterKeySigMapTest, ConvertsAcrossAChangeOfMeter)
{
    CMeterKeySigMap map = FourThenThree();
    EXPECT_EQ(7680, map[1].m_startTick);
    EXPECT_EQ(Mbt(4, 1, 0), MbtOf(map, 10560));
    EXPECT_EQ(Mbt(3, 3, 959), MbtOf(map, 10559));
    EXPECT_EQ(10560, map.MbtToTick(4, 1, 0));
    EXPECT_EQ(4, map.TickToMeasure(10560));
    EXPECT_EQ(1, map.FindIndexAtMeasure(3));
    EXPECT_EQ(0, map.FindIndexAtMeasure(2));
    EXPECT_EQ(-1, map.FindIndexAtMeasure(0));
    EXPECT_EQ(0, map.FindIndexAtTick(-1));
}

TEST_F(CMeterKeySigMapTest, PositionsFarOutSaturateInsteadOfWrapping)
{
    CMeterKeySigMap map;
    EXPECT_EQ(INT32_MAX, map.MbtToTick(INT32_MAX, 1, 0));
    EXPECT_EQ(Mbt(559241, 3, 127), MbtOf(map, INT32_MAX));
}

TEST_F(CMeterKeySigMapTest, PreviousAndNextBeat)
{
    CMeterKeySigMap map = FourThenThree();
    struct Case {
        LONG tick, prev, next;
    };
    const Case cases[] = {
        {1000, 960, 1920}, {960, 0, 1920}, {0, 0, 960},
        {3840, 2880, 4800},  // into the last beat of measure 1
        {7680, 6720, 8640},  // the beat before a 3/4 measure is beat 4 of a 4/4 one
        {11000, 10560, 11520},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tick);
        EXPECT_EQ(c.prev, map.GetPrevBeat(c.tick));
        EXPECT_EQ(c.next, map.GetNextBeat(c.tick));
    }
}

TEST_F(CMeterKeySigMapTest, ParsesMeasureBeatTickText)
{
    CMeterKeySigMap map;
    struct Case {
        const char* text;
        LONG tick;
    };
    const Case cases[] = {
        {"5:3.240", 4 * 3840 + 2 * 960 + 240},
        {"12", 11 * 3840},
        {"7:0.0", 6 * 3840},
        {"", 0},
        {"3 | 2", 2 * 3840 + 960},
        {"::4..2...10", 3 * 3840 + 960 + 10},
        {"1234567:2", 960},  // a token longer than six characters keeps its default
        {"2:1:5:9", 3840 + 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        LONG tick = -1;
        EXPECT_EQ(S_OK, map.ParseMbt(c.text, &tick));
        EXPECT_EQ(c.tick, tick);
    }
    LONG tick = 0;
    EXPECT_EQ(E_POINTER, map.ParseMbt(nullptr, &tick));
    EXPECT_EQ(E_POINTER, map.ParseMbt("1", nullptr));
}

TEST_F(CMeterKeySigMapTest, InsertingPlacesTheSignatureAtItsMeasureAndReplacesOneThere)
{
    CMeterKeySigMap map;
    EXPECT_EQ(S_OK, map.InsertMeterKey(8000, CMeterKey(99, 3, 2), TRUE, nullptr));
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}, {3, 3, 2, 7680}}), Rows(map));
    EXPECT_EQ(S_OK, map.InsertMeterKey(7700, CMeterKey(1, 6, 3), TRUE, nullptr));
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}, {3, 6, 3, 7680}}), Rows(map));
    EXPECT_EQ(S_OK, map.InsertMeterKey(0, CMeterKey(1, 2, 1), TRUE, nullptr));
    EXPECT_EQ((std::vector<Row>{{1, 2, 1, 0}, {3, 6, 3, 7680}}), Rows(map));

    CUndoHistory& history = CUndoHistory::Instance();
    EXPECT_STREQ("Insert Time Signature", history.GetCommandName(0));
    EXPECT_EQ(S_OK, history.GoToPosition(3));
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}}), Rows(map));
    EXPECT_EQ(S_OK, history.GoToPosition(0));
    EXPECT_EQ((std::vector<Row>{{1, 2, 1, 0}, {3, 6, 3, 7680}}), Rows(map));
}

TEST_F(CMeterKeySigMapTest, DeletingKeepsAFirstEntryAtMeasureOne)
{
    CMeterKeySigMap only;
    only.Set(0, CMeterKey(1, 3, 2));
    EXPECT_EQ(S_OK, only.DeleteMeterKey(0, TRUE, nullptr));
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}}), Rows(only));

    CMeterKeySigMap map = FourThenThree();
    EXPECT_EQ(S_OK, map.DeleteMeterKey(0, TRUE, nullptr));
    EXPECT_EQ((std::vector<Row>{{1, 3, 2, 0}}), Rows(map));
    EXPECT_STREQ("Delete Time Signature", CUndoHistory::Instance().GetCommandName(0));
    EXPECT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}, {3, 3, 2, 7680}}), Rows(map));

    EXPECT_EQ(S_OK, map.DeleteMeterKey(1, TRUE, nullptr));
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}}), Rows(map));
    EXPECT_EQ(E_INVALIDARG, map.DeleteMeterKey(1, TRUE, nullptr));
    EXPECT_EQ(E_INVALIDARG, map.DeleteMeterKey(-1, TRUE, nullptr));
}

TEST_F(CMeterKeySigMapTest, WithoutACommandOrTheFlagTheChangeIsNotUndoable)
{
    CMeterKeySigMap map;
    EXPECT_EQ(S_OK, map.InsertMeterKey(7680, CMeterKey(1, 3, 2), FALSE, nullptr));
    EXPECT_EQ(2, map.GetSize());
    EXPECT_EQ(0, HistoryCount());
}

TEST_F(CMeterKeySigMapTest, ABadSignatureIsRefusedOnEveryPathThatSetsOne)
{
    struct Bad {
        const char* name;
        LONG numerator, power, key;
    };
    const Bad bads[] = {
        {"numerator 0", 0, 2, 0},   {"negative numerator", -3, 2, 0}, {"numerator past its byte", 128, 2, 0},
        {"power 12", 4, 12, 0},     {"power 255", 4, 255, 0},         {"negative power", 4, -1, 0},
        {"key past its byte", 4, 2, 128},
    };
    for (const Bad& bad : bads) {
        SCOPED_TRACE(bad.name);
        const CMeterKey entry(3, bad.numerator, bad.power, bad.key);
        CMeterKeySigMap map = FourThenThree();
        const std::vector<Row> before = Rows(map);
        EXPECT_EQ(E_INVALIDARG, map.Insert(1, entry));
        EXPECT_EQ(E_INVALIDARG, map.Set(1, entry));
        EXPECT_EQ(E_INVALIDARG, map.InsertMeterKey(7680, entry, TRUE, nullptr));
        EXPECT_EQ(E_INVALIDARG, map.SetLiveMeter(7680, entry));
        EXPECT_FALSE(map.HoldsReplacedEntry());

        // A file holds the numerator and key as signed bytes and the power as
        // an unsigned one: write what fits, and what the byte makes of it.
        Bytes payload;
        payload.U32(1).U32(1).U8(static_cast<std::uint8_t>(bad.numerator)).U8(static_cast<std::uint8_t>(bad.power));
        payload.U8(static_cast<std::uint8_t>(bad.key));
        const bool fitsBytes = bad.numerator != 128 && bad.key != 128 && bad.power >= 0;
        if (fitsBytes) {
            EXPECT_EQ(E_INVALIDARG, map.Load(chunktest::StreamOf(payload.AsChunk(0x600E0000)).Get()));
        }
        EXPECT_EQ(before, Rows(map));
        EXPECT_EQ(0, HistoryCount());
    }
}

TEST_F(CMeterKeySigMapTest, ALiveChangeReplacesTheEntryInForceUntilRestored)
{
    CMeterKeySigMap map = FourThenThree();
    EXPECT_EQ(S_OK, map.RestoreLiveMeter());  // nothing held
    EXPECT_EQ(S_OK, map.SetLiveMeter(8000, CMeterKey(3, 6, 3)));
    EXPECT_TRUE(map.HoldsReplacedEntry());
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}, {3, 6, 3, 7680}}), Rows(map));
    EXPECT_EQ(Mbt(4, 1, 0), MbtOf(map, 7680 + 2880));

    // A second live change first puts the original back.
    EXPECT_EQ(S_OK, map.SetLiveMeter(100, CMeterKey(1, 2, 2)));
    EXPECT_EQ((std::vector<Row>{{1, 2, 2, 0}, {3, 3, 2, 3840}}), Rows(map));
    EXPECT_EQ(S_OK, map.RestoreLiveMeter());
    EXPECT_FALSE(map.HoldsReplacedEntry());
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}, {3, 3, 2, 7680}}), Rows(map));
    EXPECT_EQ(0, HistoryCount());
}

TEST_F(CMeterKeySigMapTest, SavesSevenBytesPerEntry)
{
    CMeterKeySigMap map = FourThenThree();
    map.Set(1, CMeterKey(3, 3, 2, -3));
    mvcom::CComPtr<IStream> stream = chunktest::StreamOf({});
    ASSERT_EQ(S_OK, map.Save(stream.Get(), TRUE));
    Bytes payload;
    payload.U32(2).U32(1).U8(4).U8(2).U8(0).U32(3).U8(3).U8(2).U8(0xFD);
    EXPECT_EQ(payload.AsChunk(0x600E0000), chunktest::BytesOf(stream.Get()));

    CMeterKeySigMap loaded;
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, loaded.Load(stream.Get()));
    EXPECT_EQ(Rows(map), Rows(loaded));
    EXPECT_EQ(-3, loaded[1].m_key);
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, map.PersistChunk(0x600E0001, nullptr));
}

TEST_F(CMeterKeySigMapTest, LoadingMovesTheFirstEntryToMeasureOne)
{
    Bytes payload;
    payload.U32(2).U32(5).U8(3).U8(2).U8(0).U32(7).U8(4).U8(2).U8(0);
    CMeterKeySigMap map;
    ASSERT_EQ(S_OK, map.Load(chunktest::StreamOf(payload.AsChunk(0x600E0000)).Get()));
    EXPECT_EQ((std::vector<Row>{{1, 3, 2, 0}, {7, 4, 2, 6 * 2880}}), Rows(map));
}

TEST_F(CMeterKeySigMapTest, AChunkThatEndsEarlyLeavesTheMapAsItWas)
{
    Bytes payload;
    payload.U32(3).U32(1).U8(3).U8(2).U8(0);
    CMeterKeySigMap map = FourThenThree();
    EXPECT_EQ(STG_E_READFAULT, map.Load(chunktest::StreamOf(payload.AsChunk(0x600E0000)).Get()));
    EXPECT_EQ((std::vector<Row>{{1, 4, 2, 0}, {3, 3, 2, 7680}}), Rows(map));
}

}  // namespace
