// Where buffers are cut, checked against the plainest model there is: one
// frame at a time, the count-in ends when the position reaches its end and
// the loop wraps when it reaches the loop end. Every case runs at 44.1, 48
// and 96 kHz with blocks of 32, 64, 441, 1024 and 4096 frames: the song's
// positions frame by frame must come out the same whatever the block, and a
// buffer is cut only where the song jumps.
#include "engine/CSegmentPlanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kNone = -1.0;

struct PlanCase {
    const char* name;
    bool playing;
    double start;        // where the first buffer starts, in seconds
    double loopStart;    // kNone: the loop is off
    double loopEnd;
    double countInEnd;   // kNone: no count-in
    double songStart;    // where the song starts once the count-in ends
    double seconds;      // how long to run
    LONGLONG offset;     // added to every position, to run far into the song
};

const PlanCase kCases[] = {
    {"stopped, a loop never cuts", false, 0.0, 0.0, 0.5, kNone, 0, 2.0, 0},
    {"the loop off, far into the song", true, 0.3, kNone, kNone, kNone, 0, 2.0, LONGLONG{1} << 52},
    {"a loop from the song's start", true, 0.0, 0.0, 0.75, kNone, 0, 3.0, 0},
    {"a loop ahead of the position", true, 0.0, 0.25, 1.1, kNone, 0, 3.0, 0},
    {"playing from past the loop end wraps at once", true, 1.5, 0.2, 0.9, kNone, 0, 2.0, 0},
    {"a loop of a few milliseconds", true, 0.5, 0.5, 0.503, kNone, 0, 0.5, 0},
    {"a count-in, then the song from its play position", true, 0.0, kNone, kNone, 0.5, 2.0, 2.0, 0},
    {"a count-in runs past the loop end without wrapping", true, 0.0, 0.25, 0.8, 1.0, 0.3, 3.0, 0},
    {"a song starting past the loop end wraps as the count-in ends", true, 0.0, 0.1, 0.6, 0.5, 1.2, 2.0, 0},
    {"a count-in already over starts the song at once", true, 0.7, kNone, kNone, 0.7, 0.2, 1.0, 0},
};

const int kRates[] = {44100, 48000, 96000};
const int kBlocks[] = {32, 64, 441, 1024, 4096};

struct Positions {
    LONGLONG start, loopStart, loopEnd, countInEnd, songStart;
    bool loop, countIn;
    long frames;
};

Positions At(const PlanCase& c, int rate)
{
    auto samples = [&](double s) { return c.offset + std::llround(s * rate); };
    Positions p{};
    p.start = samples(c.start);
    p.loop = c.loopStart != kNone;
    p.loopStart = p.loop ? samples(c.loopStart) : CSegmentPlanner::kNoLoopStart;
    p.loopEnd = p.loop ? samples(c.loopEnd) : CSegmentPlanner::kNoLimit;
    p.countIn = c.countInEnd != kNone;
    p.countInEnd = p.countIn ? samples(c.countInEnd) : CSegmentPlanner::kNoLimit;
    p.songStart = samples(c.songStart);
    p.frames = std::lround(c.seconds * rate);
    return p;
}

// The song position of every frame, one frame at a time.
std::vector<LONGLONG> FrameByFrame(const PlanCase& c, const Positions& p)
{
    std::vector<LONGLONG> out;
    out.reserve(static_cast<std::size_t>(p.frames));
    LONGLONG pos = p.start;
    bool countIn = p.countIn;
    for (long i = 0; i < p.frames; ++i) {
        if (c.playing && countIn && pos >= p.countInEnd) {
            pos = p.songStart;
            countIn = false;
        }
        if (c.playing && !countIn && pos >= p.loopEnd)
            pos = p.loopStart;
        out.push_back(pos++);
    }
    return out;
}

// The song position of every frame as the per-buffer entry renders it with
// the planner's segments, blocks of `block` frames; checks each segment on
// the way.
std::vector<LONGLONG> BySegments(const PlanCase& c, const Positions& p, int block, int* segments)
{
    std::vector<LONGLONG> out;
    out.reserve(static_cast<std::size_t>(p.frames));
    CSegmentPlanner planner;
    if (p.loop)
        planner.SetLoop(p.loopStart, p.loopEnd);
    if (p.countIn)
        planner.SetCountInEnd(p.countInEnd);
    LONGLONG pos = p.start;
    bool countIn = p.countIn;
    *segments = 0;
    for (long done = 0; done < p.frames;) {
        LONG remaining = static_cast<LONG>(std::min<long>(block, p.frames - done));
        while (remaining > 0) {
            planner.SetTransport(c.playing, countIn);
            if (planner.MoveAt(pos) == CSegmentPlanner::Move::CountInEnds) {
                pos = p.songStart;
                countIn = false;
                planner.EndCountIn();
            }
            if (planner.MoveAt(pos) == CSegmentPlanner::Move::LoopWraps)
                pos = planner.GetLoopStart();
            EXPECT_EQ(CSegmentPlanner::Move::None, planner.MoveAt(pos)) << "at most one move of each kind";
            const CSegmentPlanner::Segment s = planner.SegmentFrom(pos, remaining);
            EXPECT_GE(s.frames, 1);
            EXPECT_LE(s.frames, remaining);
            if (s.frames < 1 || s.frames > remaining)
                return out;
            const LONGLONG end = pos + s.frames;
            EXPECT_EQ(c.playing && !countIn && end == p.loopEnd, s.endsAtLoopEnd) << "segment at " << pos;
            // A segment short of the buffer's end stops where the song jumps.
            if (s.frames < remaining) {
                EXPECT_TRUE(c.playing) << "stopped, nothing cuts a buffer";
                EXPECT_EQ(countIn ? p.countInEnd : p.loopEnd, end) << "segment at " << pos;
            }
            for (LONG k = 0; k < s.frames; ++k)
                out.push_back(pos + k);
            pos = end;
            remaining -= s.frames;
            done += s.frames;
            ++*segments;
        }
    }
    return out;
}

TEST(CSegmentPlanner, EveryBlockSizeAndRatePlaysTheSongFrameForFrameAsTheModelDoes)
{
    for (const PlanCase& c : kCases) {
        for (int rate : kRates) {
            const Positions p = At(c, rate);
            const std::vector<LONGLONG> want = FrameByFrame(c, p);
            for (int block : kBlocks) {
                SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(rate) + " Hz, blocks of " +
                             std::to_string(block));
                int segments = 0;
                const std::vector<LONGLONG> got = BySegments(c, p, block, &segments);
                ASSERT_EQ(want.size(), got.size());
                // The first frame that differs, rather than a dump of both.
                for (std::size_t i = 0; i < want.size(); ++i)
                    ASSERT_EQ(want[i], got[i]) << "frame " << i;
                // One segment a buffer, plus one for every jump of the song.
                long jumps = 0;
                for (std::size_t i = 1; i < want.size(); ++i)
                    jumps += want[i] != want[i - 1] + 1;
                if (want.size() > 0 && want[0] != p.start)
                    ++jumps;
                const long buffers = (p.frames + block - 1) / block;
                EXPECT_LE(segments, buffers + jumps);
            }
        }
    }
}

TEST(CSegmentPlanner, ABoundBehindThePositionNeverStallsTheBuffer)
{
    // A tempo change moved the loop under the position: the wrap lands on a
    // start that is not before the end.
    CSegmentPlanner planner;
    planner.SetTransport(true, false);
    planner.SetLoop(5000, 4000);
    const CSegmentPlanner::Segment s = planner.SegmentFrom(5000, 256);
    EXPECT_EQ(256, s.frames);

    // The same while a count-in runs: its end never shortens a segment to nothing.
    planner.SetTransport(true, true);
    planner.SetCountInEnd(5000);
    EXPECT_EQ(CSegmentPlanner::Move::CountInEnds, planner.MoveAt(5000));
    EXPECT_EQ(256, planner.SegmentFrom(5100, 256).frames);
}

}  // namespace
