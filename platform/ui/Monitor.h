// Monitors: the screens the desktop spans, each with its rectangle in
// screen coordinates. Tests may set the list; without one the screens Qt
// knows are used. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/GdiTypes.h"

struct HMONITOR__;
using HMONITOR = HMONITOR__*;

constexpr DWORD MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1,
                MONITOR_DEFAULTTONEAREST = 2;

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};

// The monitor holding the point; outside all of them, by `flags`: none, the
// primary one, or the nearest one.
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
// FALSE for an unknown monitor.
BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info);

namespace mvui {
// Replaces the monitor rectangles (the first is the primary); an empty list
// goes back to the screens Qt knows.
void SetMonitors(const std::vector<RECT>& monitors);
}
