#include "engine/CMidiMeter.h"

#include "engine/IClientTimer.h"
#include "platform/sync/Time.h"

CMidiMeter::CMidiMeter(IClientTimer* timer, Clock clock)
    : m_timer(timer), m_clock(clock ? clock : [] { return timeGetTime(); })
{
}

CMidiMeter::~CMidiMeter()
{
    // The service forgets the meter before its fields go.
    if (m_timer)
        m_timer->SetClientInterval(this, 0);
}

HRESULT CMidiMeter::Start()
{
    return m_timer ? m_timer->SetClientInterval(this, kPollMs) : E_UNEXPECTED;
}

void CMidiMeter::Trigger()
{
    m_last.store(m_clock(), std::memory_order_relaxed);
    m_lit.store(1, std::memory_order_release);
}

void CMidiMeter::OnTimer()
{
    if (!IsLit())
        return;
    const DWORD last = m_last.load(std::memory_order_relaxed);
    if (m_clock() - last < kLitMs)
        return;
    m_lit.store(0, std::memory_order_release);
    // A trigger that came meanwhile keeps it lit.
    if (m_last.load(std::memory_order_relaxed) != last)
        m_lit.store(1, std::memory_order_release);
}
