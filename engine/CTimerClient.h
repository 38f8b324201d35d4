// Base of every object the timer service calls back: the MIDI sync clock,
// the MIDI activity meters, the MIDI-effect host site's input pulse and
// remote-controlled parameters ending their gesture. A client registers with
// CTimer::SetClientInterval and is then called (OnTimer) on the timer's
// thread, periodically or, when it is one-shot, once.
//
// The registration fields belong to the service and change only under its
// lock; the client sets only its one-shot flag, before it registers.
// Destroying a client unregisters it and, when the timer thread is calling
// it at that moment, waits for that call to return. A derived class whose
// OnTimer uses its own members should unregister in its own destructor
// first (SetClientInterval(this, 0), which waits the same way): the wait
// here comes after the derived part is gone.
#pragma once

#include <atomic>

#include "platform/win/WinTypes.h"

class CTimer;

class CTimerClient {
public:
    CTimerClient() = default;
    CTimerClient(const CTimerClient&) = delete;
    CTimerClient& operator=(const CTimerClient&) = delete;
    virtual ~CTimerClient();

    // The callback, on the timer's thread with the service's lock released:
    // it may register or unregister clients, itself included. The base does
    // nothing.
    virtual void OnTimer();

    // The effective interval: the requested one, at least the service's period.
    DWORD GetInterval() const { return m_interval.load(std::memory_order_relaxed); }
    // The timeGetTime() value at which the client is next called.
    DWORD GetDueTime() const { return m_dueTime.load(std::memory_order_relaxed); }
    bool IsOneShot() const { return m_oneShot != 0; }
    // True while the client is in its service's set.
    bool IsRegistered() const { return m_registered.load(std::memory_order_relaxed) != 0; }
    // The service the client registered with last; null once that service is gone.
    CTimer* GetTimer() const { return m_timer.load(std::memory_order_relaxed); }

protected:
    // Non-zero: the service unregisters the client after one call.
    void SetOneShot(bool oneShot) { m_oneShot = oneShot ? 1 : 0; }

private:
    friend class CTimer;

    // Atomic so that the getters may be read from any thread while the
    // timer's thread reschedules the client.
    std::atomic<DWORD> m_interval{0};
    std::atomic<DWORD> m_dueTime{0};
    LONG m_oneShot = 0;
    std::atomic<LONG> m_registered{0};
    std::atomic<CTimer*> m_timer{nullptr};
};
