#include "platform/sync/Thread.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/sync/CEventObject.h"

namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId() { return g_nextThreadId.fetch_add(1, std::memory_order_relaxed); }

struct Schedule {
    int policy;
    int level;
};

bool ScheduleFor(int priority, Schedule& out)
{
    switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
        out = {SCHED_OTHER, 0};
        return true;
    case THREAD_PRIORITY_ABOVE_NORMAL:
        out = {SCHED_FIFO, 5};
        return true;
    case THREAD_PRIORITY_HIGHEST:
        out = {SCHED_FIFO, 10};
        return true;
    case THREAD_PRIORITY_TIME_CRITICAL:
        out = {SCHED_FIFO, 20};
        return true;
    default:
        return false;
    }
}

// The pthread runs detached and holds a reference to this object until the
// start routine returns, so the handle may be closed at any time.
class CThreadObject : public mvsync::CKernelObject {
public:
    CThreadObject(LPTHREAD_START_ROUTINE start, LPVOID arg, bool suspended)
        : m_start(start), m_arg(arg), m_id(NewThreadId()), m_suspendCount(suspended ? 1 : 0)
    {
    }

    DWORD Id() const { return m_id; }

    static bool Launch(const std::shared_ptr<CThreadObject>& self, std::size_t stackSize)
    {
        pthread_attr_t attr;
        if (pthread_attr_init(&attr) != 0)
            return false;
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        std::size_t defaultSize = 0;
        if (pthread_attr_getstacksize(&attr, &defaultSize) == 0 && stackSize > defaultSize)
            pthread_attr_setstacksize(&attr, stackSize);

        auto* ref = new std::shared_ptr<CThreadObject>(self);
        std::lock_guard guard(self->m_lock);
        const bool started = pthread_create(&self->m_thread, &attr, &CThreadObject::Run, ref) == 0;
        pthread_attr_destroy(&attr);
        if (!started)
            delete ref;
        return started;
    }

    DWORD Resume()
    {
        std::lock_guard guard(m_lock);
        const DWORD previous = m_suspendCount;
        if (m_suspendCount > 0 && --m_suspendCount == 0)
            m_resumed.notify_all();
        return previous;
    }

    void ApplySchedule(const Schedule& schedule)
    {
        std::lock_guard guard(m_lock);
        // Once the routine has returned the pthread may be gone.
        if (m_finished)
            return;
        sched_param param{};
        param.sched_priority = schedule.level;
        if (pthread_setschedparam(m_thread, schedule.policy, &param) != 0 && schedule.policy != SCHED_OTHER) {
            param.sched_priority = 0;
            pthread_setschedparam(m_thread, SCHED_OTHER, &param);
        }
    }

    DWORD ExitCode()
    {
        std::lock_guard guard(m_lock);
        return m_exitCode;
    }

    DWORD Wait(DWORD milliseconds) override { return m_ended.Wait(milliseconds); }

private:
    static void* Run(void* arg)
    {
        std::shared_ptr<CThreadObject> self = std::move(*static_cast<std::shared_ptr<CThreadObject>*>(arg));
        delete static_cast<std::shared_ptr<CThreadObject>*>(arg);
        t_threadId = self->m_id;
        {
            // Also waits for Launch to have stored the pthread id.
            std::unique_lock guard(self->m_lock);
            self->m_resumed.wait(guard, [&] { return self->m_suspendCount == 0; });
        }
        const DWORD code = self->m_start(self->m_arg);
        {
            std::lock_guard guard(self->m_lock);
            self->m_exitCode = code;
            self->m_finished = true;
        }
        self->m_ended.Set();
        return nullptr;
    }

    const LPTHREAD_START_ROUTINE m_start;
    const LPVOID m_arg;
    const DWORD m_id;
    std::mutex m_lock;
    std::condition_variable m_resumed;
    DWORD m_suspendCount;
    pthread_t m_thread{};
    bool m_finished = false;
    DWORD m_exitCode = STILL_ACTIVE;
    mvsync::CEventObject m_ended{true, false};
};

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID arg,
                    DWORD flags, DWORD* threadId)
{
    if (!start)
        return nullptr;
    auto thread = std::make_shared<CThreadObject>(start, arg, (flags & CREATE_SUSPENDED) != 0);
    if (!CThreadObject::Launch(thread, stackSize))
        return nullptr;
    if (threadId)
        *threadId = thread->Id();
    return mvsync::OpenHandle(std::move(thread));
}

DWORD ResumeThread(HANDLE thread)
{
    const auto object = mvsync::LookupHandleAs<CThreadObject>(thread);
    return object ? object->Resume() : 0xFFFFFFFFu;
}

BOOL SetThreadPriority(HANDLE thread, int priority)
{
    const auto object = mvsync::LookupHandleAs<CThreadObject>(thread);
    Schedule schedule{};
    if (!object || !ScheduleFor(priority, schedule))
        return FALSE;
    object->ApplySchedule(schedule);
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode)
{
    const auto object = mvsync::LookupHandleAs<CThreadObject>(thread);
    if (!object || !exitCode)
        return FALSE;
    *exitCode = object->ExitCode();
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0)
        t_threadId = NewThreadId();
    return t_threadId;
}
