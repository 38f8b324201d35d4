// The song's time services over its tempo map and meter map: what the
// time properties and every view that shows or edits a position ask through
// ISeqUI. The song document answers ISeqUI through one of these.
//
// Holds references to the two maps, which outlive it; reads them as they
// stand and takes no lock. UI thread.
#pragma once

#include "model/CMeterKeySigMap.h"
#include "model/CTempoMap.h"
#include "uikit/core/ISeqUI.h"

class CSongTimeServices : public ISeqUI {
public:
    CSongTimeServices(const CTempoMap& tempoMap, const CMeterKeySigMap& meterMap)
        : m_tempo(tempoMap), m_meter(meterMap)
    {
    }

    LONG GetTicksPerQuarter() override { return m_tempo.GetTicksPerQuarter(); }
    LONG MbtToTicks(LONG measure, LONG beat, LONG tick) override { return m_meter.MbtToTick(measure, beat, tick); }
    void TicksToMbt(const LONG& ticks, LONG* measure, LONG* beat, LONG* tick) override;
    LONG GetPrevBeat(LONG ticks) override { return m_meter.GetPrevBeat(ticks); }
    LONG GetNextBeat(LONG ticks) override { return m_meter.GetNextBeat(ticks); }
    LONG TicksToFrames(const LONG& ticks) override { return m_tempo.TicksToFrames(ticks, CTempoMap::kRoundHalfUp); }
    LONG FramesToTicks(LONG frames) override { return m_tempo.FramesToTicks(frames, CTempoMap::kRoundHalfUp); }
    // The song starts at SMPTE zero.
    LONG GetSmpteOffset() override { return 0; }
    void FramesToSmpte(LONG frames, LONG* hours, LONG* minutes, LONG* seconds, LONG* frameOfSecond) override;
    LONG SmpteToFrames(LONG hours, LONG minutes, LONG seconds, LONG frames, LONG flag) override;
    // Up to four numbers, hours first, split at ':', ';', '.', '|' or
    // blanks; missing ones are 0. Refused: no number, more than four, a
    // number of more than six digits, any other character, a field past its
    // clock (24 hours, 60 minutes or seconds, the frame rate), and a
    // drop-frame label that the count skips.
    HRESULT ParseSmpteText(const char* text, LONG* hours, LONG* minutes, LONG* seconds, LONG* frames) override;
    HRESULT ParseMbtText(const char* text, LONG* measure, LONG* beat, LONG* tick) override;

private:
    const CTempoMap& m_tempo;
    const CMeterKeySigMap& m_meter;
};
