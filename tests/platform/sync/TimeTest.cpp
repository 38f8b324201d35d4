#include <gtest/gtest.h>

#include "platform/sync/Time.h"

namespace {

LONGLONG Counter()
{
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

TEST(Time, SleepAdvancesEveryClockByAtLeastItsTime)
{
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency.QuadPart, 0);

    const DWORD ticks = GetTickCount();
    const DWORD mmTime = timeGetTime();
    const LONGLONG count = Counter();
    Sleep(60);
    const double seconds = double(Counter() - count) / double(frequency.QuadPart);
    // Millisecond clocks truncate, so allow one millisecond at each end.
    EXPECT_GE(DWORD(GetTickCount() - ticks), 59u);
    EXPECT_GE(DWORD(timeGetTime() - mmTime), 59u);
    EXPECT_GE(seconds, 0.060);
    EXPECT_LT(seconds, 5.0);
}

TEST(Time, TheCounterNeverGoesBack)
{
    LONGLONG previous = Counter();
    for (int i = 0; i < 10000; ++i) {
        const LONGLONG now = Counter();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(Time, TickCountAndMultimediaTimeAreOneClock)
{
    const DWORD ticks = GetTickCount();
    const DWORD mmTime = timeGetTime();
    EXPECT_LT(DWORD(mmTime - ticks), 50u);
}

TEST(Time, NullOutParametersFail)
{
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}

TEST(Time, SleepZeroReturns)
{
    const LONGLONG before = Counter();
    Sleep(0);
    EXPECT_GE(Counter(), before);
}

}  // namespace
