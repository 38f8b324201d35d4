#include "uikit/CHeldLoop.h"

#include "platform/sync/Time.h"
#include "platform/ui/CWnd.h"

namespace {
CHeldLoop::Clock g_clock = nullptr;
}

void CHeldLoop::SetClock(Clock clock)
{
    g_clock = clock;
}

int CHeldLoop::Run(DWORD firstDelay, DWORD repeat, const std::function<bool()>& holding,
                   const std::function<bool()>& step)
{
    const Clock clock = g_clock ? g_clock : &GetTickCount;
    const DWORD start = clock();
    DWORD due = 0;  // milliseconds after the start
    int steps = 0;
    while (holding()) {
        if (clock() - start >= due) {
            if (step())
                ++steps;
            due += steps <= 1 ? firstDelay : repeat;
        }
        mvui::PumpMessages();
        if (!g_clock)
            Sleep(1);
    }
    return steps;
}
