// The transport's loop: the stored range and flag, and the range a ruler
// drag stages before it is committed or cancelled. Values only: locking,
// telling the graph and the host, and re-seeking stay with the engine owner.
//
// Invariant: the end read back is never less than start + 960 ticks (a loop
// is never shorter than a quarter note); a staged end reads back as it is.
//
// Threads: the UI thread (and the ReWire worker) writes; the audio thread
// reads with plain atomic loads.
#pragma once

#include <atomic>

#include "platform/win/WinTypes.h"

class CLoopState {
public:
    static constexpr LONG kMinLoopTicks = 960;
    static constexpr LONG kDefaultLoopEnd = 3840;

    // What is staged: 0 nothing, 1 staged, 2 committed in ReWire-device mode.
    static constexpr LONG kNothingStaged = 0;
    static constexpr LONG kStaged = 1;
    static constexpr LONG kCommittedForHost = 2;

    // The stored values, or the staged ones when asked and a change is staged.
    // Audio thread: no allocation, no blocking (these three).
    bool IsOn(bool usePending) const;
    LONG GetStart(bool usePending) const;
    LONG GetEnd(bool usePending) const;

    // The stored values as they were set, the end not raised.
    LONG GetStoredOn() const { return m_on; }
    LONG GetStoredStart() const { return m_start; }
    LONG GetStoredEnd() const { return m_end; }

    void Set(LONG start, LONG end, BOOL on);
    void SetStart(LONG tick) { m_start = tick; }
    void SetEnd(LONG tick) { m_end = tick; }
    void SetOn(LONG flag) { m_on = flag; }

    // Staging keeps the stored values that are not given.
    void StageStart(LONG tick);
    void StageEnd(LONG tick);
    void Stage(LONG start, LONG end, BOOL on);
    LONG GetStagedOn() const { return m_pendingOn; }
    LONG GetStagedStart() const { return m_pendingStart; }
    LONG GetStagedEnd() const { return m_pendingEnd; }

    LONG GetChangePending() const { return m_changePending; }
    void SetChangePending(LONG state) { m_changePending = state; }

private:
    std::atomic<LONG> m_on{0};
    std::atomic<LONG> m_start{0};
    std::atomic<LONG> m_end{kDefaultLoopEnd};
    std::atomic<LONG> m_pendingOn{0};
    std::atomic<LONG> m_pendingStart{0};
    std::atomic<LONG> m_pendingEnd{kDefaultLoopEnd};
    std::atomic<LONG> m_changePending{kNothingStaged};
};
