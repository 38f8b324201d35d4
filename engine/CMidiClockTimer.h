// Carries the program's timer to the MIDI sync generator's clock tick: a
// timer client whose callback calls the tick it was given. Changing the
// tick waits for a call in progress, so a generator that unhooks itself is
// never called after it was unhooked (and may be destroyed).
#pragma once

#include <mutex>

#include "devices/IMidiSyncHost.h"
#include "engine/CTimerClient.h"

class CMidiClockTimer : public CTimerClient {
public:
    CMidiClockTimer() = default;
    ~CMidiClockTimer() override;

    // Any thread but the timer's.
    void SetTick(IMidiClockTick* tick);
    // Timer thread.
    void OnTimer() override;

private:
    std::mutex m_lock;
    IMidiClockTick* m_tick = nullptr;
};
