#include "platform/sync/CriticalSection.h"

#include <pthread.h>

#include <cassert>

// A recursive pthread mutex: the owner may enter again and must leave as
// often as it entered; a try by another thread fails at once.
namespace {

pthread_mutex_t* Mutex(CRITICAL_SECTION* cs)
{
    assert(cs && cs->impl && "critical section used before InitializeCriticalSection");
    return static_cast<pthread_mutex_t*>(cs->impl);
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* cs)
{
    auto* mutex = new pthread_mutex_t;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    cs->impl = mutex;
}

void DeleteCriticalSection(CRITICAL_SECTION* cs)
{
    if (!cs || !cs->impl)
        return;
    auto* mutex = static_cast<pthread_mutex_t*>(cs->impl);
    pthread_mutex_destroy(mutex);
    delete mutex;
    cs->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* cs)
{
    [[maybe_unused]] const int rc = pthread_mutex_lock(Mutex(cs));
    assert(rc == 0);
}

void LeaveCriticalSection(CRITICAL_SECTION* cs)
{
    [[maybe_unused]] const int rc = pthread_mutex_unlock(Mutex(cs));
    assert(rc == 0 && "LeaveCriticalSection by a thread that does not own it");
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs) { return pthread_mutex_trylock(Mutex(cs)) == 0 ? TRUE : FALSE; }
