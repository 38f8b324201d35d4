#include "platform/sync/Time.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

namespace {

constexpr LONGLONG kNanosecondsPerSecond = 1'000'000'000;

LONGLONG MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<LONGLONG>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

}  // namespace

DWORD GetTickCount() { return static_cast<DWORD>(MonotonicNanoseconds() / 1'000'000); }

DWORD timeGetTime() { return GetTickCount(); }

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count)
        return FALSE;
    count->QuadPart = MonotonicNanoseconds();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency)
        return FALSE;
    frequency->QuadPart = kNanosecondsPerSecond;
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
    }
}
