// The song's time services as the toolkit sees them: conversions between
// ticks, measure:beat:tick, SMPTE frame counts and hours:minutes:seconds:
// frames, and the parsing of position texts. The toolkit sits below the song
// model, so it knows the services only through this interface; the song
// document answers it from its tempo and meter maps.
//
// A plain interface, not reference-counted: the document outlives every
// property bound to it. No operation takes a lock; each reads the maps as
// they stand. UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class ISeqUI {
public:
    virtual ~ISeqUI() = default;

    // Ticks per quarter note of the song.
    virtual LONG GetTicksPerQuarter() = 0;
    // Measure and beat below 1 count as 1.
    virtual LONG MbtToTicks(LONG measure, LONG beat, LONG tick) = 0;
    virtual void TicksToMbt(const LONG& ticks, LONG* measure, LONG* beat, LONG* tick) = 0;
    // The start of the beat holding the position, or the beat before when the
    // position is a beat start.
    virtual LONG GetPrevBeat(LONG ticks) = 0;
    // Measure, beat + 1, tick 0 of the position.
    virtual LONG GetNextBeat(LONG ticks) = 0;
    // SMPTE frame count of a tick and back, rounding half up.
    virtual LONG TicksToFrames(const LONG& ticks) = 0;
    virtual LONG FramesToTicks(LONG frames) = 0;
    // Frames that the display of positions relative to the SMPTE start
    // subtracts.
    virtual LONG GetSmpteOffset() = 0;
    virtual void FramesToSmpte(LONG frames, LONG* hours, LONG* minutes, LONG* seconds, LONG* frameOfSecond) = 0;
    // The last argument is kept for callers that pass the offset flag; the
    // conversion does not use it.
    virtual LONG SmpteToFrames(LONG hours, LONG minutes, LONG seconds, LONG frames, LONG flag) = 0;
    // Reads "hh:mm:ss:ff" as the song's frame rate counts; E_INVALIDARG for a
    // text that is not one.
    virtual HRESULT ParseSmpteText(const char* text, LONG* hours, LONG* minutes, LONG* seconds, LONG* frames) = 0;
    // Reads a measure:beat:tick text and normalises it through the meter map
    // (2:5.0 in 4/4 is 3:1.0).
    virtual HRESULT ParseMbtText(const char* text, LONG* measure, LONG* beat, LONG* tick) = 0;
};
