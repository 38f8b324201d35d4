#include "platform/sync/MmTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/platform/sync/Eventually.h"
#include "tests/support/SanitizerSlowdown.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What a callback sees, shared with the test through the user value.
struct Probe {
    std::atomic<int> calls{0};
    std::atomic<UINT> id{0};
    std::atomic<bool> inCall{false};
    std::atomic<bool> release{true};
    int killOnCall = 0;  // this call kills the event from inside
    std::mutex lock;
    std::vector<Clock::time_point> times;
};

void RecordCall(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* probe = reinterpret_cast<Probe*>(user);
    // In the call before it is counted, so a test that sees the count with
    // no call in progress also sees the call's time recorded.
    probe->inCall = true;
    const int call = ++probe->calls;
    {
        std::lock_guard guard(probe->lock);
        probe->times.push_back(Clock::now());
    }
    while (!probe->release)
        std::this_thread::sleep_for(1ms);
    if (call == probe->killOnCall) {
        EXPECT_EQ(TIMERR_NOERROR, timeKillEvent(id));
    }
    probe->inCall = false;
}

DWORD_PTR User(Probe& probe) { return reinterpret_cast<DWORD_PTR>(&probe); }

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

TEST(MmTimerTest, CapabilitiesAndBalancedPeriodRequests)
{
    TIMECAPS caps{};
    ASSERT_EQ(TIMERR_NOERROR, timeGetDevCaps(&caps, sizeof caps));
    EXPECT_EQ(1u, caps.wPeriodMin);
    EXPECT_EQ(1000000u, caps.wPeriodMax);
    EXPECT_EQ(TIMERR_NOCANDO, timeGetDevCaps(nullptr, sizeof caps));
    EXPECT_EQ(TIMERR_NOCANDO, timeGetDevCaps(&caps, sizeof caps - 1));

    EXPECT_EQ(TIMERR_NOCANDO, timeBeginPeriod(0));
    EXPECT_EQ(TIMERR_NOCANDO, timeBeginPeriod(1000001));
    EXPECT_EQ(TIMERR_NOERROR, timeBeginPeriod(7));
    EXPECT_EQ(TIMERR_NOERROR, timeBeginPeriod(7));
    EXPECT_EQ(TIMERR_NOERROR, timeEndPeriod(7));
    EXPECT_EQ(TIMERR_NOERROR, timeEndPeriod(7));
    EXPECT_EQ(TIMERR_NOCANDO, timeEndPeriod(7));  // one end more than begins
}

TEST(MmTimerTest, RefusesEventsItCannotKeep)
{
    Probe probe;
    EXPECT_EQ(0u, timeSetEvent(0, 1, RecordCall, User(probe), TIME_PERIODIC));
    EXPECT_EQ(0u, timeSetEvent(1000001, 1, RecordCall, User(probe), TIME_ONESHOT));
    EXPECT_EQ(0u, timeSetEvent(10, 1, nullptr, User(probe), TIME_PERIODIC));
    EXPECT_EQ(0u, timeSetEvent(10, 1, RecordCall, User(probe), 0x0010));  // an event-object callback
    EXPECT_EQ(MMSYSERR_INVALPARAM, timeKillEvent(0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, timeKillEvent(0xFFFFFFF0u));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(0, probe.calls);
}

TEST(MmTimerTest, PeriodicEventKeepsItsMeanPeriodAndIsNeverEarly)
{
    Probe probe;
    const auto start = Clock::now();
    const UINT id = timeSetEvent(10, 1, RecordCall, User(probe), TIME_PERIODIC);
    ASSERT_NE(0u, id);
    ASSERT_TRUE(mvtest::Eventually([&] { return probe.calls >= 40; }));
    EXPECT_EQ(TIMERR_NOERROR, timeKillEvent(id));

    std::lock_guard guard(probe.lock);
    const auto& t = probe.times;
    const double mean = Ms(t[39] - t[0]) / 39;
    // A call that comes more than a period late skips the ticks it missed,
    // which lengthens the mean; a sanitizer build misses more of them.
    EXPECT_NEAR(10.0, mean, 1.5 * mvtest::kSanitizerSlowdown);
    // Due times are kept on a fixed grid from the moment the event was set,
    // so however late some calls come, none comes early.
    for (std::size_t k = 0; k < 40; ++k)
        EXPECT_GE(Ms(t[k] - start), 10.0 * static_cast<double>(k + 1) - 0.5) << "call " << k;
}

TEST(MmTimerTest, OneShotRunsOnceAfterItsDelayAndItsIdEnds)
{
    Probe probe;
    const auto start = Clock::now();
    const UINT id = timeSetEvent(30, 1, RecordCall, User(probe), TIME_ONESHOT);
    ASSERT_NE(0u, id);
    ASSERT_TRUE(mvtest::Eventually([&] { return probe.calls == 1 && !probe.inCall; }));
    {
        std::lock_guard guard(probe.lock);
        EXPECT_GE(Ms(probe.times[0] - start), 29.5);
        EXPECT_LT(Ms(probe.times[0] - start), 30.0 + 200.0);
    }
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(1, probe.calls);
    EXPECT_EQ(MMSYSERR_INVALPARAM, timeKillEvent(id));
}

TEST(MmTimerTest, CallbackCanKillItsOwnEventEvenWhenKillsWait)
{
    for (UINT kill : {0u, TIME_KILL_SYNCHRONOUS}) {
        Probe probe;
        probe.killOnCall = 3;
        const UINT id = timeSetEvent(5, 1, RecordCall, User(probe), TIME_PERIODIC | kill);
        ASSERT_NE(0u, id);
        ASSERT_TRUE(mvtest::Eventually([&] { return probe.calls == 3 && !probe.inCall; }));
        std::this_thread::sleep_for(40ms);
        EXPECT_EQ(3, probe.calls) << "flags " << kill;
        EXPECT_EQ(MMSYSERR_INVALPARAM, timeKillEvent(id));
    }
}

// A callback that sets a one-shot event of its own, on its first call.
struct Chain {
    Probe inner;
    std::atomic<UINT> innerId{0};
};

void SetAnotherEvent(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* chain = reinterpret_cast<Chain*>(user);
    chain->innerId = timeSetEvent(5, 1, RecordCall, User(chain->inner), TIME_ONESHOT);
    timeKillEvent(id);
}

TEST(MmTimerTest, CallbackCanSetNewEvents)
{
    Chain chain;
    ASSERT_NE(0u, timeSetEvent(5, 1, SetAnotherEvent, reinterpret_cast<DWORD_PTR>(&chain), TIME_PERIODIC));
    EXPECT_TRUE(mvtest::Eventually([&] { return chain.inner.calls == 1 && !chain.inner.inCall; }));
    EXPECT_NE(0u, chain.innerId);
}

TEST(MmTimerTest, NoCallBeginsAfterKillReturns)
{
    Probe probe;
    const UINT id = timeSetEvent(1, 1, RecordCall, User(probe), TIME_PERIODIC);
    ASSERT_NE(0u, id);
    ASSERT_TRUE(mvtest::Eventually([&] { return probe.calls >= 5; }));
    EXPECT_EQ(TIMERR_NOERROR, timeKillEvent(id));
    // A plain kill does not wait: a call that had begun may still count
    // itself and finish. Once it has, nothing more may come.
    ASSERT_TRUE(mvtest::Eventually([&] { return !probe.inCall; }));
    std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(probe.inCall);
    const int calls = probe.calls;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls, probe.calls);
    EXPECT_FALSE(probe.inCall);
    EXPECT_EQ(MMSYSERR_INVALPARAM, timeKillEvent(id));
}

TEST(MmTimerTest, SynchronousKillWaitsForTheCallInProgressAndPlainKillDoesNot)
{
    for (UINT kill : {0u, TIME_KILL_SYNCHRONOUS}) {
        Probe probe;
        probe.release = false;
        const UINT id = timeSetEvent(5, 1, RecordCall, User(probe), TIME_PERIODIC | kill);
        ASSERT_NE(0u, id);
        ASSERT_TRUE(mvtest::Eventually([&] { return probe.inCall.load(); }));

        auto killed = std::async(std::launch::async, [id] { return timeKillEvent(id); });
        const bool waited = killed.wait_for(50ms) == std::future_status::timeout;
        EXPECT_EQ(kill != 0, waited) << "flags " << kill;
        probe.release = true;
        EXPECT_EQ(TIMERR_NOERROR, killed.get());
        EXPECT_TRUE(mvtest::Eventually([&] { return !probe.inCall; }));
        EXPECT_EQ(1, probe.calls);
    }
}

}  // namespace
