#include "engine/CTimer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/CTimerClient.h"
#include "platform/sync/Time.h"
#include "tests/platform/sync/Eventually.h"
#include "tests/support/SanitizerSlowdown.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class TestClient : public CTimerClient {
public:
    explicit TestClient(bool oneShot = false) { SetOneShot(oneShot); }
    ~TestClient() override
    {
        if (CTimer* timer = GetTimer())
            timer->SetClientInterval(this, 0);
    }

    void OnTimer() override
    {
        // In the call before it is counted, so a test that sees the count with
        // no call in progress also sees the call's time recorded.
        inCall = true;
        const int call = ++calls;
        {
            std::lock_guard guard(lock);
            times.push_back(Clock::now());
        }
        while (!release)
            std::this_thread::sleep_for(1ms);
        if (onCall)
            onCall(call);
        inCall = false;
    }

    std::atomic<int> calls{0};
    std::atomic<bool> inCall{false};
    std::atomic<bool> release{true};
    std::function<void(int call)> onCall;
    std::mutex lock;
    std::vector<Clock::time_point> times;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Registers the pair so that both fall due in the same millisecond, the one
// at the higher address first; false when the clock never allowed it. An
// attempt that missed counts for nothing: in a slow (sanitizer) build the
// first of the pair may even have been called before the second was
// registered, so the counts start again from zero, and an attempt takes
// only while neither has been called.
bool RegisterDueTogether(CTimer& timer, TestClient& low, TestClient& high, DWORD interval)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        high.calls = 0;
        low.calls = 0;
        timer.SetClientInterval(&high, interval);
        timer.SetClientInterval(&low, interval);
        if (low.GetDueTime() == high.GetDueTime() && high.calls == 0 && low.calls == 0)
            return true;
        timer.SetClientInterval(&high, 0);
        timer.SetClientInterval(&low, 0);
    }
    return false;
}

TEST(CTimerTest, IntervalsBelowThePeriodAreRaisedAndRegistrationDrivesTheSystemTimer)
{
    // Long enough that the client is rescheduled before it falls due, even
    // in a sanitizer build.
    const DWORD period = 10 * mvtest::kSanitizerSlowdown;
    CTimer timer(period);
    EXPECT_EQ(period, timer.GetPeriod());
    EXPECT_FALSE(timer.IsRunning());

    TestClient client;
    const DWORD before = timeGetTime();
    ASSERT_EQ(S_OK, timer.SetClientInterval(&client, period / 2));
    EXPECT_EQ(period, client.GetInterval());
    EXPECT_GE(client.GetDueTime() - before, period);
    EXPECT_TRUE(client.IsRegistered());
    EXPECT_EQ(&timer, client.GetTimer());
    EXPECT_TRUE(timer.IsRunning());

    ASSERT_EQ(S_OK, timer.SetClientInterval(&client, 500));  // rescheduled in place
    EXPECT_EQ(500u, client.GetInterval());
    EXPECT_EQ(S_OK, timer.SetClientInterval(&client, 0));
    EXPECT_FALSE(client.IsRegistered());
    EXPECT_EQ(S_FALSE, timer.SetClientInterval(&client, 0));
    // The last client gone, the timer's own next tick stops it.
    EXPECT_TRUE(mvtest::Eventually([&] { return !timer.IsRunning(); }));
    EXPECT_EQ(0, client.calls);

    CTimer fine(0);
    EXPECT_EQ(1u, fine.GetPeriod());  // the system's minimum
    EXPECT_EQ(0u, fine.GetRequestedPeriod());
}

TEST(CTimerTest, RefusesNullAndStrayClients)
{
    CTimer timer(10), other(10);
    EXPECT_EQ(E_POINTER, timer.SetClientInterval(nullptr, 10));
    EXPECT_EQ(E_POINTER, timer.SetClientInterval(nullptr, 0));

    TestClient never;
    EXPECT_EQ(S_FALSE, timer.SetClientInterval(&never, 0));

    // Registered with one service, rescheduled through another: not in its set.
    TestClient client;
    ASSERT_EQ(S_OK, other.SetClientInterval(&client, 1000));
    const DWORD due = client.GetDueTime();
    EXPECT_EQ(E_UNEXPECTED, timer.SetClientInterval(&client, 20));
    EXPECT_EQ(1000u, client.GetInterval());
    EXPECT_EQ(due, client.GetDueTime());
    EXPECT_TRUE(client.IsRegistered());
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(S_OK, other.SetClientInterval(&client, 0));
}

TEST(CTimerTest, PeriodicClientKeepsItsMeanIntervalAndIsNeverEarly)
{
    CTimer timer(10);
    TestClient client;
    const auto start = Clock::now();
    ASSERT_EQ(S_OK, timer.SetClientInterval(&client, 20));
    ASSERT_TRUE(mvtest::Eventually([&] { return client.calls >= 25; }));
    timer.SetClientInterval(&client, 0);

    std::lock_guard guard(client.lock);
    const auto& t = client.times;
    // Calls that come late (more of them in a sanitizer build) lengthen the
    // mean; none may come early.
    EXPECT_NEAR(20.0, Ms(t[24] - t[0]) / 24, 3.0 * mvtest::kSanitizerSlowdown);
    // Due times step by the interval from the first one (the clock counts whole ms).
    for (std::size_t k = 0; k < 25; ++k)
        EXPECT_GE(Ms(t[k] - start), 20.0 * static_cast<double>(k + 1) - 1.0) << "call " << k;
}

TEST(CTimerTest, OneShotClientIsCalledOnceAndCanStartTheTimerAgain)
{
    CTimer timer(10);
    TestClient client(true);
    const auto start = Clock::now();
    ASSERT_EQ(S_OK, timer.SetClientInterval(&client, 30));
    ASSERT_TRUE(mvtest::Eventually([&] { return client.calls == 1 && !client.inCall; }));
    {
        std::lock_guard guard(client.lock);
        EXPECT_GE(Ms(client.times[0] - start), 29.0);
    }
    EXPECT_FALSE(client.IsRegistered());
    EXPECT_TRUE(mvtest::Eventually([&] { return !timer.IsRunning(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(1, client.calls);
    EXPECT_EQ(S_FALSE, timer.SetClientInterval(&client, 0));

    // Due late enough that the timer is still running when asked, even in a
    // sanitizer build: once the one-shot call is made, the timer stops.
    ASSERT_EQ(S_OK, timer.SetClientInterval(&client, 10 * mvtest::kSanitizerSlowdown));
    EXPECT_TRUE(timer.IsRunning());
    EXPECT_TRUE(mvtest::Eventually([&] { return client.calls == 2; }));
}

TEST(CTimerTest, ClientCanUnregisterOrRescheduleItselfFromItsCallback)
{
    CTimer timer(10);
    TestClient quitter;
    quitter.onCall = [&](int call) {
        if (call == 3) {
            EXPECT_EQ(S_OK, timer.SetClientInterval(&quitter, 0));
        }
    };
    TestClient slower;
    slower.onCall = [&](int call) {
        if (call == 1) {
            EXPECT_EQ(S_OK, timer.SetClientInterval(&slower, 200));
        }
    };
    ASSERT_EQ(S_OK, timer.SetClientInterval(&quitter, 10));
    ASSERT_EQ(S_OK, timer.SetClientInterval(&slower, 10));
    ASSERT_TRUE(mvtest::Eventually([&] { return quitter.calls == 3 && !quitter.inCall; }));
    EXPECT_TRUE(mvtest::Eventually([&] { return slower.GetInterval() == 200u; }));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(3, quitter.calls);
    EXPECT_FALSE(quitter.IsRegistered());
    EXPECT_TRUE(slower.IsRegistered());
    EXPECT_EQ(1, slower.calls);  // the next call is 200 ms away
}

TEST(CTimerTest, CallbacksRunWithTheServiceLockReleased)
{
    CTimer timer(10);
    TestClient other;
    TestClient client(true);
    std::atomic<bool> otherThreadGotThrough{false};
    client.onCall = [&](int) {
        // Another thread registers while this callback runs: it would wait
        // for ever if the tick still held the service's lock.
        auto done = std::async(std::launch::async, [&] {
            timer.SetClientInterval(&other, 1000);
            timer.SetClientInterval(&other, 0);
        });
        otherThreadGotThrough = done.wait_for(5s) == std::future_status::ready;
    };
    ASSERT_EQ(S_OK, timer.SetClientInterval(&client, 10));
    ASSERT_TRUE(mvtest::Eventually([&] { return client.calls == 1 && !client.inCall; }));
    EXPECT_TRUE(otherThreadGotThrough);
}

TEST(CTimerTest, ClientsDueTogetherAreCalledInAddressOrder)
{
    CTimer timer(10);
    std::array<TestClient, 2> pair;
    std::mutex lock;
    std::vector<const CTimerClient*> order;
    for (TestClient& c : pair) {
        c.onCall = [&, who = &c](int call) {
            if (call == 1) {
                std::lock_guard guard(lock);
                order.push_back(who);
            }
        };
    }
    ASSERT_TRUE(RegisterDueTogether(timer, pair[0], pair[1], 20));
    ASSERT_TRUE(mvtest::Eventually([&] { return pair[0].calls >= 1 && pair[1].calls >= 1; }));
    // The first calls of the registration that took come last: a missed
    // attempt may have recorded a call before it.
    std::lock_guard guard(lock);
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(&pair[0], order[order.size() - 2]);
    EXPECT_EQ(&pair[1], order.back());
}

TEST(CTimerTest, ClientUnregisteredAfterTheTickCollectedItIsNotCalled)
{
    CTimer timer(10);
    std::array<TestClient, 2> pair;
    pair[0].onCall = [&](int call) {
        if (call == 1)
            timer.SetClientInterval(&pair[1], 0);
    };
    ASSERT_TRUE(RegisterDueTogether(timer, pair[0], pair[1], 20));
    ASSERT_TRUE(mvtest::Eventually([&] { return pair[0].calls >= 3; }));
    EXPECT_EQ(0, pair[1].calls);
}

TEST(CTimerTest, DestroyingAClientUnregistersItAndWaitsForItsCallInProgress)
{
    CTimer timer(10);
    auto client = std::make_unique<TestClient>();
    client->release = false;
    ASSERT_EQ(S_OK, timer.SetClientInterval(client.get(), 10));
    ASSERT_TRUE(mvtest::Eventually([&] { return client->inCall.load(); }));

    TestClient* raw = client.get();
    auto destroyed = std::async(std::launch::async, [&] { client.reset(); });
    EXPECT_EQ(std::future_status::timeout, destroyed.wait_for(50ms));
    raw->release = true;
    destroyed.get();
    EXPECT_TRUE(mvtest::Eventually([&] { return !timer.IsRunning(); }));
}

// A client that stops itself in its destructor, as derived clients are told
// to, and whose callback uses its own members: the stop has to wait for a
// call in progress, or the callback runs on into destroyed members.
class MemberUsingClient : public CTimerClient {
public:
    MemberUsingClient(CTimer& timer, std::atomic<bool>& inCall, std::atomic<int>& callsPastTheStop)
        : m_service(timer), m_inCall(inCall), m_callsPastTheStop(callsPastTheStop)
    {
    }
    ~MemberUsingClient() override
    {
        m_service.SetClientInterval(this, 0);
        m_stopped = true;
        m_history.clear();
    }

    void OnTimer() override
    {
        m_inCall = true;
        std::this_thread::sleep_for(40ms);
        if (m_stopped)
            ++m_callsPastTheStop;
        m_history.push_back(m_history.size());
        m_inCall = false;
    }

private:
    CTimer& m_service;
    std::atomic<bool>& m_inCall;
    std::atomic<int>& m_callsPastTheStop;
    std::atomic<bool> m_stopped{false};
    std::vector<std::size_t> m_history;
};

TEST(CTimerTest, StoppingAClientWaitsForItsCallInProgress)
{
    CTimer timer(10);
    std::atomic<bool> inCall{false};
    std::atomic<int> callsPastTheStop{0};
    auto client = std::make_unique<MemberUsingClient>(timer, inCall, callsPastTheStop);
    ASSERT_EQ(S_OK, timer.SetClientInterval(client.get(), 10));
    ASSERT_TRUE(mvtest::Eventually([&] { return inCall.load(); }));
    client.reset();
    EXPECT_FALSE(inCall);
    EXPECT_EQ(0, callsPastTheStop);

    // The same wait for a plain stop from another thread, the client kept.
    TestClient kept;
    kept.release = false;
    ASSERT_EQ(S_OK, timer.SetClientInterval(&kept, 10));
    ASSERT_TRUE(mvtest::Eventually([&] { return kept.inCall.load(); }));
    auto stopped = std::async(std::launch::async, [&] { return timer.SetClientInterval(&kept, 0); });
    EXPECT_EQ(std::future_status::timeout, stopped.wait_for(50ms));
    kept.release = true;
    EXPECT_EQ(S_OK, stopped.get());
    EXPECT_FALSE(kept.inCall);
    EXPECT_EQ(1, kept.calls);
}

TEST(CTimerTest, ClientsOutlivingTheServiceForgetIt)
{
    TestClient periodic, oneShot(true);
    {
        CTimer timer(10);
        ASSERT_EQ(S_OK, timer.SetClientInterval(&periodic, 10));
        ASSERT_EQ(S_OK, timer.SetClientInterval(&oneShot, 1000));
        ASSERT_TRUE(mvtest::Eventually([&] { return periodic.calls >= 2; }));
    }
    EXPECT_FALSE(periodic.IsRegistered());
    EXPECT_FALSE(oneShot.IsRegistered());
    EXPECT_EQ(nullptr, periodic.GetTimer());
    EXPECT_EQ(nullptr, oneShot.GetTimer());
    const int calls = periodic.calls;
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls, periodic.calls);
}

}  // namespace
