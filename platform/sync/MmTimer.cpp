#include "platform/sync/MmTimer.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr UINT kPeriodMin = 1;
constexpr UINT kPeriodMax = 1'000'000;
constexpr UINT kKnownFlags = TIME_PERIODIC | TIME_KILL_SYNCHRONOUS;

// Below the audio device threads (which run at 20), above everything ordinary.
constexpr int kTimerThreadPriority = 10;

// A sleeping thread looks at its event this often, so a killed event's
// thread ends soon even when its next call was far away.
constexpr std::int64_t kLongestSleepNs = 50'000'000;

constexpr std::int64_t kNsPerMs = 1'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

std::int64_t NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

void SleepUntilNs(std::int64_t when)
{
    const timespec due{static_cast<time_t>(when / kNsPerSecond), static_cast<long>(when % kNsPerSecond)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

void AskForRealTime()
{
    sched_param param{};
    param.sched_priority = kTimerThreadPriority;
    // Refused without the right: the thread stays on the ordinary scheduler.
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

struct TimerEvent {
    UINT id = 0;
    std::int64_t delayNs = 0;
    LPTIMECALLBACK callback = nullptr;
    DWORD_PTR user = 0;
    UINT flags = 0;

    std::mutex lock;
    std::condition_variable callEnded;
    std::atomic<bool> killed{false};
    bool inCall = false;
    std::thread::id thread;  // the timer thread, once it runs
};

class EventTable {
public:
    static EventTable& Get()
    {
        // Never destroyed: timer threads may still look it up while the
        // process exits.
        static EventTable* table = new EventTable;
        return *table;
    }

    UINT Add(std::shared_ptr<TimerEvent> event)
    {
        std::lock_guard guard(m_lock);
        do {
            ++m_lastId;
        } while (m_lastId == 0 || m_events.count(m_lastId) != 0);
        event->id = m_lastId;
        m_events.emplace(m_lastId, std::move(event));
        return m_lastId;
    }

    std::shared_ptr<TimerEvent> Remove(UINT id)
    {
        std::lock_guard guard(m_lock);
        auto it = m_events.find(id);
        if (it == m_events.end())
            return nullptr;
        std::shared_ptr<TimerEvent> event = std::move(it->second);
        m_events.erase(it);
        return event;
    }

    MMRESULT BeginPeriod(UINT period)
    {
        std::lock_guard guard(m_lock);
        ++m_periodRequests[period];
        return TIMERR_NOERROR;
    }

    MMRESULT EndPeriod(UINT period)
    {
        std::lock_guard guard(m_lock);
        auto it = m_periodRequests.find(period);
        if (it == m_periodRequests.end())
            return TIMERR_NOCANDO;
        if (--it->second == 0)
            m_periodRequests.erase(it);
        return TIMERR_NOERROR;
    }

private:
    std::mutex m_lock;
    std::map<UINT, std::shared_ptr<TimerEvent>> m_events;
    std::map<UINT, unsigned> m_periodRequests;
    UINT m_lastId = 0;
};

// Sleeps until `due`; false when the event was killed meanwhile.
bool WaitForDue(const TimerEvent& event, std::int64_t due)
{
    for (;;) {
        if (event.killed.load())
            return false;
        const std::int64_t now = NowNs();
        if (now >= due)
            return true;
        SleepUntilNs(std::min(due, now + kLongestSleepNs));
    }
}

// One call, unless the event was killed first; false when the thread is done.
bool Call(TimerEvent& event)
{
    {
        std::lock_guard guard(event.lock);
        if (event.killed.load())
            return false;
        event.inCall = true;
    }
    event.callback(event.id, 0, event.user, 0, 0);
    std::lock_guard guard(event.lock);
    event.inCall = false;
    event.callEnded.notify_all();
    return !event.killed.load();
}

void RunTimerThread(std::shared_ptr<TimerEvent> event, std::int64_t firstDue)
{
    AskForRealTime();
    std::int64_t due = firstDue;
    while (WaitForDue(*event, due) && Call(*event)) {
        if ((event->flags & TIME_PERIODIC) == 0) {
            EventTable::Get().Remove(event->id);
            return;
        }
        // Late by more than a period: one call now, then back on the grid.
        due += event->delayNs;
        const std::int64_t now = NowNs();
        if (due + event->delayNs <= now)
            due += (now - due) / event->delayNs * event->delayNs;
    }
}

bool ValidPeriod(UINT period) { return period >= kPeriodMin && period <= kPeriodMax; }

}  // namespace

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size)
{
    if (!caps || size != sizeof(TIMECAPS))
        return TIMERR_NOCANDO;
    caps->wPeriodMin = kPeriodMin;
    caps->wPeriodMax = kPeriodMax;
    return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period)
{
    return ValidPeriod(period) ? EventTable::Get().BeginPeriod(period) : TIMERR_NOCANDO;
}

MMRESULT timeEndPeriod(UINT period)
{
    return ValidPeriod(period) ? EventTable::Get().EndPeriod(period) : TIMERR_NOCANDO;
}

UINT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags)
{
    if (!ValidPeriod(delay) || !callback || (flags & ~kKnownFlags) != 0)
        return 0;
    auto event = std::make_shared<TimerEvent>();
    event->delayNs = static_cast<std::int64_t>(delay) * kNsPerMs;
    event->callback = callback;
    event->user = user;
    event->flags = flags;
    const std::int64_t firstDue = NowNs() + event->delayNs;

    // Held until the timer thread's id is stored, so that a kill made from
    // the event's own callback knows not to wait for itself.
    std::unique_lock guard(event->lock);
    const UINT id = EventTable::Get().Add(event);
    try {
        std::thread thread(RunTimerThread, event, firstDue);
        event->thread = thread.get_id();
        thread.detach();
    } catch (const std::system_error&) {
        guard.unlock();
        EventTable::Get().Remove(id);
        return 0;
    }
    return id;
}

MMRESULT timeKillEvent(UINT timerId)
{
    const std::shared_ptr<TimerEvent> event = EventTable::Get().Remove(timerId);
    if (!event)
        return MMSYSERR_INVALPARAM;
    std::unique_lock guard(event->lock);
    event->killed.store(true);
    if ((event->flags & TIME_KILL_SYNCHRONOUS) != 0 && std::this_thread::get_id() != event->thread)
        event->callEnded.wait(guard, [&] { return !event->inCall; });
    return TIMERR_NOERROR;
}
