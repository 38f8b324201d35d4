#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/sync/Event.h"
#include "tests/platform/sync/Eventually.h"

namespace {

using namespace std::chrono_literals;

using mvtest::Eventually;

// Threads that each wait once, without limit, on one event and count
// themselves out.
class Waiters {
public:
    Waiters(HANDLE event, int count)
    {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this, event] {
                if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0)
                    ++released;
            });
    }
    ~Waiters()
    {
        for (auto& t : m_threads)
            t.join();
    }
    std::atomic<int> released{0};

private:
    std::vector<std::thread> m_threads;
};

struct InitialCase {
    const char* name;
    BOOL manualReset;
    BOOL initialState;
    DWORD firstWait;
    DWORD secondWait;
};

TEST(Event, InitialStateAndWhetherAWaitConsumesIt)
{
    const InitialCase cases[] = {
        {"manual, signalled", TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {"manual, not signalled", TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {"auto, signalled", FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
        {"auto, not signalled", FALSE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
    };
    for (const InitialCase& c : cases) {
        HANDLE event = CreateEventA(nullptr, c.manualReset, c.initialState, nullptr);
        ASSERT_NE(event, nullptr) << c.name;
        EXPECT_EQ(WaitForSingleObject(event, 0), c.firstWait) << c.name;
        EXPECT_EQ(WaitForSingleObject(event, 0), c.secondWait) << c.name;
        EXPECT_TRUE(CloseHandle(event)) << c.name;
    }
}

TEST(Event, AutoResetReleasesExactlyOneWaiterPerSet)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    {
        Waiters waiters(event, 3);
        for (int round = 1; round <= 3; ++round) {
            ASSERT_TRUE(SetEvent(event));
            ASSERT_TRUE(Eventually([&] { return waiters.released >= round; }));
            std::this_thread::sleep_for(50ms);
            EXPECT_EQ(waiters.released, round);
        }
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "every set was consumed by a waiter";
    CloseHandle(event);
}

TEST(Event, ManualResetReleasesEveryWaiterAndStaysSignalledUntilReset)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        Waiters waiters(event, 3);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(waiters.released, 0);
        ASSERT_TRUE(SetEvent(event));
        EXPECT_TRUE(Eventually([&] { return waiters.released == 3; }));
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Event, ResetBeforeAnyWaitTakesBackTheSignal)
{
    for (BOOL manual : {TRUE, FALSE}) {
        HANDLE event = CreateEventA(nullptr, manual, TRUE, nullptr);
        ASSERT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "manual " << manual;
        CloseHandle(event);
    }
}

TEST(Event, TimedWaitTimesOutAfterRoughlyItsTime)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 95ms);
    EXPECT_LT(elapsed, 5s);
    CloseHandle(event);
}

TEST(Event, ASetDuringATimedWaitEndsItEarly)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([event] {
        std::this_thread::sleep_for(20ms);
        SetEvent(event);
    });
    EXPECT_EQ(WaitForSingleObject(event, 30000), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

TEST(Event, CallsOnHandlesThatAreNotEventsFail)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    for (HANDLE bad : {HANDLE{nullptr}, event}) {
        EXPECT_FALSE(SetEvent(bad));
        EXPECT_FALSE(ResetEvent(bad));
        EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
        EXPECT_FALSE(CloseHandle(bad));
    }
}

TEST(Event, ANamedEventIsRefused)
{
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, "MvDataReq"), nullptr);
}

TEST(Event, ClosingTheHandleUnderAWaiterLetsItTimeOutSafely)
{
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> result{0xDEADu};
    std::thread waiter([&] { result = WaitForSingleObject(event, 200); });
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(CloseHandle(event));
    waiter.join();
    // Either the wait began before the close (and timed out) or after it (and failed).
    EXPECT_TRUE(result == WAIT_TIMEOUT || result == WAIT_FAILED) << result;
}

TEST(Event, HandlesAreDistinctAndNeverReused)
{
    HANDLE first = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(first);
    HANDLE second = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(first, second);
    EXPECT_FALSE(SetEvent(first));
    EXPECT_TRUE(SetEvent(second));
    CloseHandle(second);
}

TEST(Event, APulseReleasesOnlyThoseWaitingAndLeavesTheEventClear)
{
    for (BOOL manual : {FALSE, TRUE}) {
        HANDLE event = CreateEventA(nullptr, manual, FALSE, nullptr);
        EXPECT_TRUE(PulseEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "nobody waited: nothing stays";
        {
            Waiters waiters(event, 2);
            EXPECT_TRUE(Eventually([&] {
                PulseEvent(event);
                return waiters.released.load() == 2;
            }));
        }
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << manual;
        CloseHandle(event);
    }
}

}  // namespace
