#include "platform/ipc/Deadline.h"

namespace mvipc {

timespec DeadlineAfter(clockid_t clock, DWORD ms)
{
    timespec t{};
    clock_gettime(clock, &t);
    t.tv_sec += ms / 1000;
    t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
    return t;
}

}  // namespace mvipc
