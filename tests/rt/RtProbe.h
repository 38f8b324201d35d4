// Watches what a thread does while a test has marked it as an audio thread:
// every heap allocation and release (the C allocation calls, and so every
// operator new and delete, which end in them) and every mutex lock that may
// wait (pthread_mutex_lock: critical sections, media locks, std::mutex;
// a try-lock is not counted). The test program replaces the C library's
// entry points for this (RtProbe.cpp), so only this folder's program may
// link it.
//
// Counts are process-wide sums over the marked threads.
#pragma once

#include <functional>

namespace mvrt {

struct Counts {
    long allocations = 0;
    long releases = 0;
    long blockingLocks = 0;
};

// Sets the counts to zero.
void ResetCounts();
Counts ReadCounts();

// Marks or unmarks the calling thread.
void WatchThisThread(bool on);
bool IsThisThreadWatched();
// Marks every thread of the process, for a stretch in which the test's own
// thread only sleeps: what threads the test cannot reach (a device's writer)
// do then is counted too.
void WatchEveryThread(bool on);

// What a song's player hears before each block it plays (by number): the
// playing thread is watched from block `from` on (the first blocks may size
// what the graph keeps for later) until block `last`, when the counts go to
// *counts.
inline std::function<void(int)> WatchBlocks(int from, int last, Counts* counts)
{
    return [=](int block) {
        if (block == from) {
            ResetCounts();
            WatchThisThread(true);
        }
        if (block == last) {
            WatchThisThread(false);
            *counts = ReadCounts();
        }
    };
}

// Marks the calling thread for its lifetime and puts back what was there.
class WatchedScope {
public:
    WatchedScope() : m_was(IsThisThreadWatched()) { WatchThisThread(true); }
    ~WatchedScope() { WatchThisThread(m_was); }
    WatchedScope(const WatchedScope&) = delete;
    WatchedScope& operator=(const WatchedScope&) = delete;

private:
    bool m_was;
};

}  // namespace mvrt
