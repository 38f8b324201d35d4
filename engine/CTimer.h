// The timer service: one periodic multimedia timer that calls back any
// number of CTimerClient objects, each at its own interval (at least the
// service's period). The engine owner creates one with a 10 ms period at
// start-up and clients reach it through the engine owner.
//
// Registrations are kept sorted by due time (ties by client address); the
// system timer runs only while a client is registered, with the timer
// resolution raised to the period exactly while it runs. On every tick the
// due clients are collected under the lock and then called, in due-time
// order, with the lock released: a callback may register or unregister any
// client, itself included, without deadlock. A client unregistered after a
// tick collected it and before its call is not called.
//
// When the last client leaves, the system timer is stopped by its own next
// tick rather than at once: stopping it from another thread would have to
// wait for a tick in progress, and that tick may be calling a client that
// waits for a lock the unregistering thread holds.
//
// Ticks run one at a time. Registrations come from any thread but the audio
// thread. The service must not be destroyed from a client's callback.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

#include "engine/IClientTimer.h"
#include "platform/win/WinTypes.h"
#include "uikit/core/CHeapCriticalSection.h"

class CTimerClient;

class CTimer : public IClientTimer {
public:
    explicit CTimer(UINT periodMs);
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;
    // Stops the system timer (waiting for a tick in progress) and empties
    // the set. Clients still registered are marked unregistered and forget
    // the service, so destroying them later does not reach it.
    virtual ~CTimer();

    // intervalMs 0 unregisters: S_FALSE when the client was not in the set.
    // It returns only once a call of the client in progress on the timer's
    // thread has ended (unless made from that call): never unregister
    // holding a lock that the client's OnTimer takes.
    // Otherwise the client is (re)scheduled at now + max(intervalMs, period);
    // a first registration starts the system timer. E_POINTER for a null
    // client; E_UNEXPECTED, with nothing changed, for a client that counts
    // itself registered but is not in this service's set.
    HRESULT SetClientInterval(CTimerClient* client, DWORD intervalMs) override;

    // Starts or stops the system timer. Starting sets running only when the
    // system gave a timer; a later first registration tries again. Stopping
    // from another thread than the timer's waits for a tick in progress:
    // never call it holding a lock that a client's OnTimer takes.
    void SetRunning(bool on);

    bool IsRunning() const;
    // max(requested period, the system's minimum period).
    UINT GetPeriod() const { return m_period; }
    UINT GetRequestedPeriod() const { return m_requestedPeriod; }

private:
    friend class CTimerClient;

    // Due time ascending (unsigned), then address.
    struct DueOrder {
        bool operator()(const CTimerClient* a, const CTimerClient* b) const;
    };

    // The critical section as a lock for condition_variable_any.
    struct LockRef {
        CHeapCriticalSection& cs;
        void lock() { cs.Lock(); }
        void unlock() { cs.Unlock(); }
    };

    static void TimerProc(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
    void Tick();
    // The due clients leave the set (one-shots) or move on by their interval.
    void CollectDueClients();
    // The next collected client to call, made the one being called; null at the end.
    CTimerClient* NextCollected(std::size_t& index);
    // A client's destructor: unregisters it and waits while another thread calls it.
    void ForgetClient(CTimerClient* client);
    // Under m_lock, taken once (the wait releases it for the tick to go on).
    HRESULT Unregister(CTimerClient* client);
    // Under m_lock, with the client out of the set: its interval and next due time.
    void Schedule(CTimerClient* client, DWORD intervalMs);
    void WaitForCallToEnd(CTimerClient* client);

    UINT m_timerId = 0;
    UINT m_period;
    std::atomic<LONG> m_running{0};
    std::set<CTimerClient*, DueOrder> m_clients;
    UINT m_requestedPeriod;
    CHeapCriticalSection m_lock;

    bool m_closing = false;                   // the destructor runs: no new system timer
    std::mutex m_tickMutex;                   // one tick at a time
    std::vector<CTimerClient*> m_collected;   // this tick's clients; null once unregistered
    CTimerClient* m_calling = nullptr;        // whose OnTimer runs now
    std::atomic<DWORD> m_tickThread{0};       // the thread inside a tick, 0 between ticks
    std::condition_variable_any m_callEnded;  // with m_lock, for ForgetClient
};
