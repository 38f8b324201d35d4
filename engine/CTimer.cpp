#include "engine/CTimer.h"

#include <algorithm>

#include "engine/CTimerClient.h"
#include "platform/sync/MmTimer.h"
#include "platform/sync/Thread.h"
#include "platform/sync/Time.h"

namespace {

UINT SystemMinimumPeriod()
{
    TIMECAPS caps{};
    return timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR ? caps.wPeriodMin : 1;
}

}  // namespace

bool CTimer::DueOrder::operator()(const CTimerClient* a, const CTimerClient* b) const
{
    const DWORD dueA = a->GetDueTime(), dueB = b->GetDueTime();
    if (dueA != dueB)
        return dueA < dueB;
    return std::less<const CTimerClient*>()(a, b);
}

CTimer::CTimer(UINT periodMs)
    : m_period(std::max(periodMs, SystemMinimumPeriod())), m_requestedPeriod(periodMs)
{
}

CTimer::~CTimer()
{
    m_lock.Lock();
    m_closing = true;
    m_lock.Unlock();
    SetRunning(false);
    // A system timer that stopped itself may still be calling its last clients.
    { std::lock_guard tick(m_tickMutex); }

    m_lock.Lock();
    for (CTimerClient* client : m_clients) {
        client->m_registered.store(0, std::memory_order_relaxed);
        client->m_timer.store(nullptr, std::memory_order_relaxed);
    }
    m_clients.clear();
    m_lock.Unlock();
}

void CTimer::Schedule(CTimerClient* client, DWORD intervalMs)
{
    const DWORD interval = std::max<DWORD>(intervalMs, m_period);
    client->m_interval.store(interval, std::memory_order_relaxed);
    client->m_dueTime.store(timeGetTime() + interval, std::memory_order_relaxed);
}

bool CTimer::IsRunning() const { return m_running.load() != 0; }

HRESULT CTimer::SetClientInterval(CTimerClient* client, DWORD intervalMs)
{
    if (!client)
        return E_POINTER;
    m_lock.Lock();
    HRESULT hr = S_OK;
    if (intervalMs == 0) {
        hr = Unregister(client);
        // A derived client stops itself in its own destructor, before its
        // members go: a call already running on the timer thread must end
        // first. From that call itself there is nothing to wait for.
        WaitForCallToEnd(client);
    } else if (client->IsRegistered()) {
        auto it = m_clients.find(client);
        if (it == m_clients.end()) {
            hr = E_UNEXPECTED;
        } else {
            m_clients.erase(it);
            Schedule(client, intervalMs);
            m_clients.insert(client);
        }
    } else {
        client->m_registered.store(1, std::memory_order_relaxed);
        client->m_timer.store(this, std::memory_order_relaxed);
        Schedule(client, intervalMs);
        m_clients.insert(client);
        SetRunning(true);
    }
    m_lock.Unlock();
    return hr;
}

void CTimer::SetRunning(bool on)
{
    m_lock.Lock();
    if (on) {
        if (!m_running.load() && !m_closing) {
            timeBeginPeriod(m_period);
            m_timerId = timeSetEvent(m_period, 1, &CTimer::TimerProc, reinterpret_cast<DWORD_PTR>(this),
                                     TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
            if (m_timerId != 0)
                m_running.store(1);
            else
                timeEndPeriod(m_period);
        }
        m_lock.Unlock();
        return;
    }
    const UINT id = m_running.load() ? m_timerId : 0;
    m_running.store(0);
    m_timerId = 0;
    m_lock.Unlock();
    // Outside the lock: the kill waits for a tick in progress, which takes it.
    if (id != 0) {
        timeKillEvent(id);
        timeEndPeriod(m_period);
    }
}

void CTimer::TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    reinterpret_cast<CTimer*>(user)->Tick();
}

void CTimer::Tick()
{
    std::lock_guard tick(m_tickMutex);
    m_tickThread.store(GetCurrentThreadId());
    CollectDueClients();
    std::size_t index = 0;
    while (CTimerClient* client = NextCollected(index))
        client->OnTimer();
    m_tickThread.store(0);
}

void CTimer::CollectDueClients()
{
    m_lock.Lock();
    const DWORD now = timeGetTime();
    m_collected.clear();
    for (CTimerClient* client : m_clients) {
        if (client->GetDueTime() > now)
            break;
        m_collected.push_back(client);
    }
    for (CTimerClient* client : m_collected) {
        m_clients.erase(client);
        if (client->m_oneShot) {
            client->m_registered.store(0, std::memory_order_relaxed);
        } else {
            // From the old due time, so a client that fell behind catches up
            // by one call per tick.
            client->m_dueTime.store(client->GetDueTime() + client->GetInterval(), std::memory_order_relaxed);
            m_clients.insert(client);
        }
    }
    if (m_clients.empty() && m_running.load())
        SetRunning(false);  // on the timer's own thread: the kill does not wait
    m_lock.Unlock();
}

CTimerClient* CTimer::NextCollected(std::size_t& index)
{
    m_lock.Lock();
    if (m_calling) {
        m_calling = nullptr;
        m_callEnded.notify_all();
    }
    while (index < m_collected.size() && !m_collected[index])
        ++index;
    if (index < m_collected.size()) {
        m_calling = m_collected[index++];
    } else {
        m_collected.clear();
    }
    CTimerClient* next = m_calling;
    m_lock.Unlock();
    return next;
}

HRESULT CTimer::Unregister(CTimerClient* client)
{
    client->m_registered.store(0, std::memory_order_relaxed);
    std::replace(m_collected.begin(), m_collected.end(), client, static_cast<CTimerClient*>(nullptr));
    return m_clients.erase(client) == 0 ? S_FALSE : S_OK;
}

void CTimer::WaitForCallToEnd(CTimerClient* client)
{
    if (m_tickThread.load() != GetCurrentThreadId()) {
        LockRef lock{m_lock};
        m_callEnded.wait(lock, [&] { return m_calling != client; });
    }
}

void CTimer::ForgetClient(CTimerClient* client)
{
    m_lock.Lock();
    Unregister(client);
    WaitForCallToEnd(client);
    client->m_timer.store(nullptr, std::memory_order_relaxed);
    m_lock.Unlock();
}
