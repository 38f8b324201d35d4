// The quantize settings of the song with their grid arithmetic: moves event
// times (and note ends) towards a grid of Resolution ticks that restarts at
// every measure, by Strength percent, within a capture Window, with Swing on
// every second grid point and an optional random shift of the grid. The song
// document owns one for its lifetime; the settings are not saved.
#pragma once

#include "model/CMfxEvent.h"
#include "model/CTimeGrid.h"
#include "uikit/core/CPropBool.h"
#include "uikit/core/CPropInt.h"

class ISeqUI;

class CQuantizer : public CTimeGrid {
public:
    // The song's time services, not owned.
    explicit CQuantizer(ISeqUI* time);

    // Moves *time towards the grid; *following (optional) receives the grid
    // point after the one aimed at. S_OK when moved (or kept at strength 0),
    // S_FALSE when the time lay outside the window and was kept,
    // E_INVALIDARG without a time. A Resolution below one tick (the setting
    // before the page first shows it) quantizes to sixteenth notes.
    HRESULT QuantizeTime(LONG* time, LONG* following);
    // One event's time and, for a note, its end: S_FALSE for an event that
    // Include Automation leaves out, a failure of QuantizeTime, else S_OK.
    HRESULT QuantizeEvent(CMfxEvent& event);
    // base + delta x strength / 100, truncated towards zero.
    static LONG ScaleByStrength(LONG base, LONG delta, LONG strength);

    CPropInt& Resolution() { return m_resolution; }
    CPropInt& Strength() { return m_strength; }
    CPropBool& StartTimes() { return m_startTimes; }
    CPropBool& NoteDurations() { return m_noteDurations; }
    CPropInt& Randomize() { return m_randomize; }
    CPropBool& IncludeAutomation() { return m_includeAutomation; }
    CPropInt& Swing() { return m_swing; }
    CPropInt& Window() { return m_window; }

private:
    CPropInt m_resolution{0};
    CPropInt m_strength{100, 1, 100};
    CPropBool m_startTimes{true};
    CPropBool m_noteDurations{true};
    CPropInt m_randomize{0, 0, 100};
    CPropBool m_includeAutomation{true};
    CPropInt m_swing{50, 1, 99};
    CPropInt m_window{100, 1, 100};
    ISeqUI* m_time;
};
