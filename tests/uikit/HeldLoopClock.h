// A clock for held-press loops in tests: every reading moves 10 ms on, and
// the left and right buttons are let go once it reaches the release time.
#pragma once

#include "platform/ui/InputState.h"
#include "uikit/CHeldLoop.h"

namespace mvtest {

struct HeldLoopClock {
    static DWORD& Now()
    {
        static DWORD now = 0;
        return now;
    }
    static DWORD& ReleaseAt()
    {
        static DWORD at = 0;
        return at;
    }
    static DWORD Read()
    {
        Now() += 10;
        if (Now() >= ReleaseAt()) {
            mvui::SetKeyDown(VK_LBUTTON, false);
            mvui::SetKeyDown(VK_RBUTTON, false);
        }
        return Now();
    }
    // Starts the clock at 0 with the buttons let go at `releaseAt`.
    static void Start(DWORD releaseAt)
    {
        Now() = 0;
        ReleaseAt() = releaseAt;
        CHeldLoop::SetClock(&Read);
    }
};

}  // namespace mvtest
