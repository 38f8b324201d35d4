#include "engine/CLoopState.h"

#include <algorithm>
#include <climits>

bool CLoopState::IsOn(bool usePending) const
{
    if (usePending && m_changePending != kNothingStaged)
        return m_pendingOn != 0;
    return m_on != 0;
}

LONG CLoopState::GetStart(bool usePending) const
{
    if (usePending && m_changePending != kNothingStaged)
        return m_pendingStart;
    return m_start;
}

LONG CLoopState::GetEnd(bool usePending) const
{
    if (usePending && m_changePending != kNothingStaged)
        return m_pendingEnd;
    const LONG start = m_start;
    const LONG end = m_end;
    if (static_cast<LONGLONG>(end) - kMinLoopTicks < start)
        return static_cast<LONG>(std::min<LONGLONG>(static_cast<LONGLONG>(start) + kMinLoopTicks, LONG_MAX));
    return end;
}

void CLoopState::Set(LONG start, LONG end, BOOL on)
{
    m_start = start;
    m_end = end;
    m_on = on ? 1 : 0;
}

void CLoopState::StageStart(LONG tick)
{
    m_pendingOn = m_on.load();
    m_pendingEnd = m_end.load();
    m_pendingStart = tick;
    m_changePending = kStaged;
}

void CLoopState::StageEnd(LONG tick)
{
    m_pendingOn = m_on.load();
    m_pendingStart = m_start.load();
    m_pendingEnd = tick;
    m_changePending = kStaged;
}

void CLoopState::Stage(LONG start, LONG end, BOOL on)
{
    m_pendingOn = on ? 1 : 0;
    m_pendingStart = start;
    m_pendingEnd = end;
    m_changePending = kStaged;
}
