// The absolute time `ms` milliseconds from now on a given clock, as the
// timed POSIX waits (mq_timedreceive, sem_clockwait) take it.
#pragma once

#include <time.h>

#include "platform/win/WinTypes.h"

namespace mvipc {

timespec DeadlineAfter(clockid_t clock, DWORD ms);

}  // namespace mvipc
