// A press held down: a local loop that steps at once, again after the first
// delay and then at every repeat interval, while `holding` says the press
// goes on; other queued messages run meanwhile. `step` may decline (the
// pointer left the part): the loop then waits without stepping.
//
// The clock is GetTickCount unless a test replaces it. UI thread only.
#pragma once

#include <functional>

#include "platform/win/WinTypes.h"

class CHeldLoop {
public:
    using Clock = DWORD (*)();
    // Null goes back to GetTickCount.
    static void SetClock(Clock clock);
    // Returns the number of steps made.
    static int Run(DWORD firstDelay, DWORD repeat, const std::function<bool()>& holding,
                   const std::function<bool()>& step);
};
