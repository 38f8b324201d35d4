#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>

#include "platform/sync/Event.h"
#include "platform/sync/Thread.h"
#include "tests/platform/sync/Eventually.h"

namespace {

using namespace std::chrono_literals;

struct Probe {
    std::atomic<bool> ran{false};
    std::atomic<DWORD> id{0};
    std::atomic<int> policy{-1};
    std::atomic<std::size_t> stackSize{0};
    HANDLE go = nullptr;  // when set, the routine waits for it first
};

DWORD Record(LPVOID arg)
{
    auto* probe = static_cast<Probe*>(arg);
    if (probe->go)
        WaitForSingleObject(probe->go, INFINITE);
    probe->id = GetCurrentThreadId();
    int policy = -1;
    sched_param param{};
    pthread_getschedparam(pthread_self(), &policy, &param);
    probe->policy = policy;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* base = nullptr;
        std::size_t size = 0;
        pthread_attr_getstack(&attr, &base, &size);
        probe->stackSize = size;
        pthread_attr_destroy(&attr);
    }
    probe->ran = true;
    return 42;
}

bool RealTimePermitted()
{
    bool permitted = false;
    std::thread([&] {
        sched_param param{};
        param.sched_priority = 20;
        permitted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    }).join();
    return permitted;
}

// A running thread held at its start until the test opens the gate.
class GatedThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_probe.go = m_gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_thread = CreateThread(nullptr, 0, &Record, &m_probe, 0, nullptr);
        ASSERT_NE(m_thread, nullptr);
    }
    void TearDown() override
    {
        // The thread writes into the probe: let it finish before the probe goes.
        SetEvent(m_gate);
        EXPECT_TRUE(mvtest::Eventually([&] { return m_probe.ran.load(); }));
        CloseHandle(m_thread);
        CloseHandle(m_gate);
    }
    void OpenGate() { SetEvent(m_gate); }

    Probe m_probe;
    HANDLE m_gate = nullptr;
    HANDLE m_thread = nullptr;
};

TEST(Thread, StartedSuspendedRunsOnlyAfterResume)
{
    Probe probe;
    HANDLE thread = CreateThread(nullptr, 0, &Record, &probe, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(probe.ran);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

    EXPECT_EQ(ResumeThread(thread), 1u);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(probe.ran);
    EXPECT_EQ(ResumeThread(thread), 0u) << "a running thread has no suspend count";
    CloseHandle(thread);
}

TEST_F(GatedThread, HandleIsSignalledAtExitForEveryWaiterWithTheExitCode)
{
    std::atomic<int> released{0};
    std::thread a([&] { released += WaitForSingleObject(m_thread, 10000) == WAIT_OBJECT_0; });
    std::thread b([&] { released += WaitForSingleObject(m_thread, 10000) == WAIT_OBJECT_0; });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(released, 0);
    OpenGate();
    a.join();
    b.join();
    EXPECT_EQ(released, 2);
    EXPECT_EQ(WaitForSingleObject(m_thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(m_thread, &code));
    EXPECT_EQ(code, 42u);
}

TEST(Thread, TheIdGivenAtCreationIsTheOneTheThreadSees)
{
    Probe probe;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, &Record, &probe, 0, &id);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(probe.id, id);
    EXPECT_NE(GetCurrentThreadId(), id);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
    CloseHandle(thread);
}

TEST_F(GatedThread, ClosingTheHandleLeavesTheThreadRunning)
{
    ASSERT_TRUE(CloseHandle(m_thread));
    OpenGate();
    EXPECT_TRUE(mvtest::Eventually([&] { return m_probe.ran.load(); }));
    EXPECT_FALSE(CloseHandle(m_thread)) << "already closed";
}

// Starts a thread suspended, sets the priorities in turn, resumes it and
// gives the scheduling policy the thread found itself running under (-1 when
// a call failed or the thread did not run).
int PolicyAfter(std::initializer_list<int> priorities)
{
    Probe probe;
    HANDLE thread = CreateThread(nullptr, 0, &Record, &probe, CREATE_SUSPENDED, nullptr);
    bool accepted = thread != nullptr;
    for (int priority : priorities)
        accepted = accepted && SetThreadPriority(thread, priority);
    ResumeThread(thread);
    const bool ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return accepted && ended && probe.ran ? probe.policy.load() : -1;
}

TEST(Thread, TimeCriticalUsesRealTimeSchedulingWherePermitted)
{
    EXPECT_EQ(PolicyAfter({THREAD_PRIORITY_TIME_CRITICAL}), RealTimePermitted() ? SCHED_FIFO : SCHED_OTHER);
    EXPECT_EQ(PolicyAfter({THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_NORMAL}), SCHED_OTHER);
}

// Root keeps the real-time right through any resource limit unless it can
// give up its identity.
bool CanDropRealTimeRight()
{
    if (geteuid() != 0)
        return true;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("CapEff:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> 7) & 1;  // CAP_SETUID
    return false;
}

void RunTimeCriticalWithoutTheRight()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_RTPRIO, &none);
    if (geteuid() == 0 && setuid(65534) != 0)
        std::exit(3);
    if (RealTimePermitted())
        std::exit(4);
    if (PolicyAfter({THREAD_PRIORITY_TIME_CRITICAL}) != SCHED_OTHER)
        std::exit(5);
    std::exit(0);
}

TEST(Thread, TimeCriticalWithoutTheRealTimeRightStillSucceedsAndRuns)
{
    if (!CanDropRealTimeRight())
        GTEST_SKIP() << "this process cannot give up the real-time right";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunTimeCriticalWithoutTheRight(), ::testing::ExitedWithCode(0), "");
}

TEST(Thread, CallsOnHandlesThatAreNotThreadsFail)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD code = 0;
    for (HANDLE bad : {HANDLE{nullptr}, event}) {
        EXPECT_EQ(ResumeThread(bad), 0xFFFFFFFFu);
        EXPECT_FALSE(SetThreadPriority(bad, THREAD_PRIORITY_NORMAL));
        EXPECT_FALSE(GetExitCodeThread(bad, &code));
    }
    CloseHandle(event);

    Probe probe;
    HANDLE thread = CreateThread(nullptr, 0, &Record, &probe, CREATE_SUSPENDED, nullptr);
    EXPECT_FALSE(SetThreadPriority(thread, 7)) << "not a priority";
    EXPECT_FALSE(GetExitCodeThread(thread, nullptr));
    EXPECT_FALSE(SetEvent(thread));
    ResumeThread(thread);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Thread, AStackLargerThanTheDefaultIsHonoured)
{
    constexpr std::size_t kStack = 64u << 20;
    Probe probe;
    HANDLE thread = CreateThread(nullptr, kStack, &Record, &probe, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_GE(probe.stackSize, kStack);
    CloseHandle(thread);
}

}  // namespace
