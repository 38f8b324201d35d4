// A MIDI activity indicator: lit from a message until 200 ms after the last
// one. A channel triggers it for each live message it accepts and each
// event it plays, so a trigger may come on the audio thread: it only stamps
// the time and lights, taking no lock. The meter looks at its light on the
// timer service, every kPollMs once started, and puts it out when kLitMs
// have passed since the last trigger. Views read the lit flag.
//
// Threads: Start and destruction on the UI thread; Trigger on any thread
// (audio thread: no allocation, no blocking); OnTimer on the timer's
// thread; IsLit from any thread.
#pragma once

#include <atomic>

#include "engine/CTimerClient.h"

class IClientTimer;

class CMidiMeter : public CTimerClient {
public:
    static constexpr DWORD kLitMs = 200;
    static constexpr DWORD kPollMs = 20;
    // Milliseconds, wrapping; timeGetTime unless a test gives its own.
    using Clock = DWORD (*)();

    explicit CMidiMeter(IClientTimer* timer, Clock clock = nullptr);
    ~CMidiMeter() override;

    // Registers the meter's regular look with the timer service.
    HRESULT Start();
    // Audio thread: no allocation, no blocking.
    void Trigger();
    // Puts the light out once kLitMs passed since the last trigger.
    void OnTimer() override;
    bool IsLit() const { return m_lit.load(std::memory_order_acquire) != 0; }

private:
    IClientTimer* m_timer;
    Clock m_clock;
    std::atomic<DWORD> m_last{0};
    std::atomic<LONG> m_lit{0};
};
