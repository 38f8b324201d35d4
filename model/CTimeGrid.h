// A musical grid: one id out of a fixed table of 24 note values, each a
// length in ticks at 960 per quarter note. Grid lines restart at every
// measure start, so a grid never reaches past the measure it lies in; the
// three measure ids carry nominal lengths, the real one coming from the
// meter map through the song's time services.
#pragma once

#include "platform/win/WinTypes.h"

class ISeqUI;

// The table length of a grid id; 0 for an id not in the table.
LONG GridIdToTicks(int id);

class CTimeGrid {
public:
    static constexpr int kMeasure = 0;
    static constexpr int kMeasureDotted = 12;
    static constexpr int kMeasureTriplet = 13;
    static constexpr int kSixteenth = 6;

    explicit CTimeGrid(int id) : m_id(id) {}
    virtual ~CTimeGrid() = default;
    virtual void SetGrid(int id) { m_id = id; }
    virtual int GetGrid() const { return m_id; }
    // The grid's length at a position: the table length, at most the
    // length of the measure that holds the position (for the measure ids:
    // the measure, one and a half, or two thirds of it).
    virtual LONG GetGridLengthAt(LONG position, ISeqUI* time);
    virtual LONG GetGridTicks() { return GridIdToTicks(m_id); }

private:
    int m_id;
};

// The start and length of the measure that holds a position.
void MeasureBounds(ISeqUI* time, LONG position, LONG* start, LONG* length);
