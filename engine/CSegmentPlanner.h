// Where a device buffer is cut while the song plays: at the end of a
// count-in (the song then starts from the play position) and at the loop
// end (the song goes on from the loop start). A pure calculation over
// sample positions: it reads and changes nothing else, so the per-buffer
// entry asks it at the start of every segment and does the moves itself.
//
// A segment starts with at most two moves, in this order: the count-in
// ends, then the loop wraps. The planner names the move due at a position;
// the caller makes it (which may convert ticks and re-read the loop), tells
// the planner what changed, and then asks how long the segment is. Unused
// bounds stand at the ends of the 64-bit range, so a loop that is off or a
// count-in that is not running never cuts a buffer, however far the song.
//
// Threads: any; the engine calls it on the audio thread.
// Audio thread: no allocation, no blocking (every method).
#pragma once

#include <climits>

#include "platform/win/WinTypes.h"

class CSegmentPlanner {
public:
    static constexpr LONGLONG kNoLoopStart = LLONG_MIN;
    static constexpr LONGLONG kNoLimit = LLONG_MAX;

    // What happens where a segment starts.
    enum class Move { None, CountInEnds, LoopWraps };

    struct Segment {
        LONG frames;
        // The segment ends exactly at the loop end: the song loops after it.
        bool endsAtLoopEnd;
    };

    // Stopped, no loop and no count-in until told.
    CSegmentPlanner() = default;

    // The transport's flags as they are where the segment starts.
    void SetTransport(bool playing, bool countInActive)
    {
        m_playing = playing;
        m_countInActive = countInActive;
    }
    // The loop bounds in samples; left at none while the loop is off.
    void SetLoop(LONGLONG startSamples, LONGLONG endSamples)
    {
        m_loopStart = startSamples;
        m_loopEnd = endSamples;
    }
    void SetCountInEnd(LONGLONG samples) { m_countInEnd = samples; }
    // The count-in is over: from here the loop decides.
    void EndCountIn() { m_countInActive = false; }

    bool IsPlaying() const { return m_playing; }
    bool IsCountInActive() const { return m_countInActive; }
    LONGLONG GetLoopStart() const { return m_loopStart; }
    LONGLONG GetLoopEnd() const { return m_loopEnd; }
    LONGLONG GetCountInEnd() const { return m_countInEnd; }

    // The move due at `position`: the count-in ends once the position reaches
    // its end; the loop wraps once it reaches the loop end, but never while a
    // count-in runs. Stopped, nothing moves.
    Move MoveAt(LONGLONG position) const;

    // The frames of the segment from `position`, `remaining` frames left in
    // the buffer: up to the count-in end while a count-in runs, else up to
    // the loop end. A bound behind the position (a tempo change moved the
    // loop under it) gives the whole rest, so a buffer never stalls.
    Segment SegmentFrom(LONGLONG position, LONG remaining) const;

private:
    bool m_playing = false;
    bool m_countInActive = false;
    LONGLONG m_loopStart = kNoLoopStart;
    LONGLONG m_loopEnd = kNoLimit;
    LONGLONG m_countInEnd = kNoLimit;
};
