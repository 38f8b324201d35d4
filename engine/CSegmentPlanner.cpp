#include "engine/CSegmentPlanner.h"

namespace {

// a + b > limit without overflow, for bounds that stand at the ends of the
// 64-bit range when unused.
bool Exceeds(LONGLONG a, LONGLONG b, LONGLONG limit)
{
    return static_cast<__int128>(a) + b > limit;
}

}  // namespace

CSegmentPlanner::Move CSegmentPlanner::MoveAt(LONGLONG position) const
{
    if (!m_playing)
        return Move::None;
    if (m_countInActive)
        return position >= m_countInEnd ? Move::CountInEnds : Move::None;
    return position >= m_loopEnd ? Move::LoopWraps : Move::None;
}

CSegmentPlanner::Segment CSegmentPlanner::SegmentFrom(LONGLONG position, LONG remaining) const
{
    LONGLONG frames = remaining;
    bool endsAtLoopEnd = false;
    if (m_playing && m_countInActive) {
        if (Exceeds(position, remaining, m_countInEnd))
            frames = m_countInEnd - position;
    } else if (m_playing) {
        if (Exceeds(position, remaining, m_loopEnd))
            frames = m_loopEnd - position;
        endsAtLoopEnd = !Exceeds(position, frames, m_loopEnd) && position + frames == m_loopEnd;
    }
    if (frames < 1)
        frames = remaining;
    return {static_cast<LONG>(frames), endsAtLoopEnd};
}
