#include "tests/rt/RtProbe.h"

#include <errno.h>
#include <malloc.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>

// The C library's own allocator and lock, under the names it exports for
// code that stands in front of them.
extern "C" {
void* __libc_malloc(std::size_t n);
void __libc_free(void* p);
void* __libc_calloc(std::size_t count, std::size_t n);
void* __libc_realloc(void* p, std::size_t n);
void* __libc_memalign(std::size_t alignment, std::size_t n);
int mvrt_real_mutex_lock(pthread_mutex_t* mutex);
}
__asm__(".symver mvrt_real_mutex_lock, __pthread_mutex_lock@GLIBC_2.2.5");

namespace {

// Plain thread-locals of the program itself: reading them allocates nothing.
thread_local bool t_watched = false;
std::atomic<bool> g_watchAll{false};
std::atomic<long> g_allocations{0};
std::atomic<long> g_releases{0};
std::atomic<long> g_locks{0};

bool Watched() { return t_watched || g_watchAll.load(std::memory_order_relaxed); }

void CountAllocation()
{
    if (Watched())
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}

void CountRelease(const void* p)
{
    if (p && Watched())
        g_releases.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

namespace mvrt {

void ResetCounts()
{
    g_allocations = 0;
    g_releases = 0;
    g_locks = 0;
}

Counts ReadCounts() { return Counts{g_allocations.load(), g_releases.load(), g_locks.load()}; }

void WatchThisThread(bool on) { t_watched = on; }

bool IsThisThreadWatched() { return t_watched; }

void WatchEveryThread(bool on) { g_watchAll = on; }

}  // namespace mvrt

extern "C" {

void* malloc(std::size_t n) noexcept
{
    CountAllocation();
    return __libc_malloc(n);
}

void free(void* p) noexcept
{
    CountRelease(p);
    __libc_free(p);
}

void* calloc(std::size_t count, std::size_t n) noexcept
{
    CountAllocation();
    return __libc_calloc(count, n);
}

void* realloc(void* p, std::size_t n) noexcept
{
    if (n == 0)
        CountRelease(p);
    else
        CountAllocation();
    return __libc_realloc(p, n);
}

void* memalign(std::size_t alignment, std::size_t n) noexcept
{
    CountAllocation();
    return __libc_memalign(alignment, n);
}

void* aligned_alloc(std::size_t alignment, std::size_t n) noexcept { return memalign(alignment, n); }

int posix_memalign(void** out, std::size_t alignment, std::size_t n) noexcept
{
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* p = memalign(alignment, n);
    if (!p)
        return ENOMEM;
    *out = p;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept
{
    if (Watched())
        g_locks.fetch_add(1, std::memory_order_relaxed);
    return mvrt_real_mutex_lock(mutex);
}

}  // extern "C"
