#include "engine/CMidiClockTimer.h"

#include "engine/CTimer.h"

CMidiClockTimer::~CMidiClockTimer()
{
    if (CTimer* timer = GetTimer())
        timer->SetClientInterval(this, 0);
    SetTick(nullptr);
}

void CMidiClockTimer::SetTick(IMidiClockTick* tick)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_tick = tick;
}

void CMidiClockTimer::OnTimer()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_tick)
        m_tick->OnClockTick();
}
