#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "platform/sync/CriticalSection.h"

namespace {

bool TryFromAnotherThread(CRITICAL_SECTION* cs)
{
    return std::async(std::launch::async, [cs] {
               const bool taken = TryEnterCriticalSection(cs) != FALSE;
               if (taken)
                   LeaveCriticalSection(cs);
               return taken;
           })
        .get();
}

class CriticalSectionTest : public ::testing::Test {
protected:
    void SetUp() override { InitializeCriticalSection(&m_cs); }
    void TearDown() override { DeleteCriticalSection(&m_cs); }
    CRITICAL_SECTION m_cs;
};

TEST_F(CriticalSectionTest, TryEnterFromAnotherThreadFailsWhileHeldAndSucceedsAfterLeave)
{
    EnterCriticalSection(&m_cs);
    EXPECT_FALSE(TryFromAnotherThread(&m_cs));
    LeaveCriticalSection(&m_cs);
    EXPECT_TRUE(TryFromAnotherThread(&m_cs));
}

TEST_F(CriticalSectionTest, TheOwnerReentersAndMustLeaveAsOftenAsItEntered)
{
    EnterCriticalSection(&m_cs);
    EnterCriticalSection(&m_cs);
    EXPECT_TRUE(TryEnterCriticalSection(&m_cs));

    LeaveCriticalSection(&m_cs);
    LeaveCriticalSection(&m_cs);
    EXPECT_FALSE(TryFromAnotherThread(&m_cs)) << "still held once";
    LeaveCriticalSection(&m_cs);
    EXPECT_TRUE(TryFromAnotherThread(&m_cs));
}

TEST_F(CriticalSectionTest, TryEnterHeldByAnotherThreadFailsForTheCaller)
{
    std::promise<void> held, release;
    std::thread owner([&] {
        EnterCriticalSection(&m_cs);
        held.set_value();
        release.get_future().wait();
        LeaveCriticalSection(&m_cs);
    });
    held.get_future().wait();
    EXPECT_FALSE(TryEnterCriticalSection(&m_cs));
    release.set_value();
    owner.join();
    ASSERT_TRUE(TryEnterCriticalSection(&m_cs));
    LeaveCriticalSection(&m_cs);
}

TEST_F(CriticalSectionTest, EnterExcludesOtherThreads)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    long counter = 0;  // deliberately not atomic: only the lock protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                EnterCriticalSection(&m_cs);
                counter = counter + 1;
                LeaveCriticalSection(&m_cs);
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, long{kThreads} * kRounds);
}

TEST(CriticalSection, DeleteReleasesAndNullsAndASecondDeleteDoesNothing)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EXPECT_NE(cs.impl, nullptr);
    DeleteCriticalSection(&cs);
    EXPECT_EQ(cs.impl, nullptr);
    DeleteCriticalSection(&cs);
    EXPECT_EQ(cs.impl, nullptr);
}

}  // namespace
