#include "engine/CMidiClockTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/CTimer.h"

namespace {

class CountingTick : public IMidiClockTick {
public:
    void OnClockTick() override
    {
        ++ticks;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (gone.load())
            late = true;
    }
    std::atomic<int> ticks{0};
    std::atomic<bool> gone{false};
    std::atomic<bool> late{false};
};

TEST(CMidiClockTimer, CallsItsTickAtTheTimersPeriodAndNeverAfterItWasUnhooked)
{
    CTimer timer(10);
    CMidiClockTimer clock;
    CountingTick tick;
    clock.SetTick(&tick);
    ASSERT_EQ(timer.SetClientInterval(&clock, timer.GetPeriod()), S_OK);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (tick.ticks.load() < 5 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(tick.ticks.load(), 5);
    // Unhooking waits for a tick in progress; none comes after.
    clock.SetTick(nullptr);
    tick.gone = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(tick.late.load());
    timer.SetClientInterval(&clock, 0);
}

}  // namespace
