// A MIDI activity indicator: lit from a message until 200 ms after the last
// one. A channel triggers it for each live message it accepts and each
// event it plays; views read the lit flag.
//
// Threads: Trigger on the MIDI input thread or the UI thread, never the
// audio thread (rescheduling takes the timer service's lock); OnTimer on
// the timer's thread; IsLit from any thread.
#pragma once

#include <atomic>

#include "engine/CTimerClient.h"

class IClientTimer;

class CMidiMeter : public CTimerClient {
public:
    static constexpr DWORD kLitMs = 200;

    explicit CMidiMeter(IClientTimer* timer);
    ~CMidiMeter() override;

    // Lights the meter and puts its going dark kLitMs after now.
    void Trigger();
    // The meter goes dark.
    void OnTimer() override;
    bool IsLit() const { return m_lit.load(std::memory_order_relaxed) != 0; }

private:
    IClientTimer* m_timer;
    std::atomic<LONG> m_lit{0};
};
