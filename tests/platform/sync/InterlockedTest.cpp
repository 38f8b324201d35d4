#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/sync/Interlocked.h"

namespace {

TEST(Interlocked, ResultsAreTheNewValueForStepsAndTheOldOneOtherwise)
{
    LONG v = 5;
    EXPECT_EQ(InterlockedIncrement(&v), 6);
    EXPECT_EQ(InterlockedDecrement(&v), 5);
    EXPECT_EQ(InterlockedExchange(&v, 9), 5);
    EXPECT_EQ(InterlockedExchangeAdd(&v, -4), 9);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(InterlockedCompareExchange(&v, 7, 4), 5) << "comparand differs: no store";
    EXPECT_EQ(v, 5);
    EXPECT_EQ(InterlockedCompareExchange(&v, 7, 5), 5);
    EXPECT_EQ(v, 7);
}

TEST(Interlocked, WrapsLikeA32BitInteger)
{
    LONG v = 0x7FFFFFFF;
    EXPECT_EQ(InterlockedIncrement(&v), LONG(-0x7FFFFFFF - 1));
    EXPECT_EQ(InterlockedDecrement(&v), 0x7FFFFFFF);
}

// Every operation under contention: the final counts are exact.
TEST(Interlocked, CountersStayExactUnderContention)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 50000;
    LONG up = 0, down = 0, added = 0, swapped = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                InterlockedIncrement(&up);
                InterlockedDecrement(&down);
                InterlockedExchangeAdd(&added, 3);
                LONG seen = 0;
                for (LONG found; (found = InterlockedCompareExchange(&swapped, seen + 1, seen)) != seen;)
                    seen = found;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(up, kThreads * kRounds);
    EXPECT_EQ(down, -kThreads * kRounds);
    EXPECT_EQ(added, 3 * kThreads * kRounds);
    EXPECT_EQ(swapped, kThreads * kRounds);
}

// The stop-counter pattern: one thread spins until another raises the counter.
TEST(Interlocked, AStopCounterRaisedOnOneThreadIsSeenOnAnother)
{
    LONG stop = 0;
    LONG loops = 0;
    std::thread worker([&] {
        while (InterlockedExchangeAdd(&stop, 0) == 0)
            InterlockedIncrement(&loops);
    });
    while (InterlockedExchangeAdd(&loops, 0) == 0)
        std::this_thread::yield();
    InterlockedIncrement(&stop);
    worker.join();
    EXPECT_EQ(stop, 1);
}

}  // namespace
