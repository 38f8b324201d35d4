#include "engine/CMidiMeter.h"

#include "engine/IClientTimer.h"

CMidiMeter::CMidiMeter(IClientTimer* timer) : m_timer(timer)
{
    // Once: each trigger moves the one call on, rather than adding one.
    SetOneShot(true);
}

CMidiMeter::~CMidiMeter()
{
    // The service forgets the call before the lit flag goes.
    if (m_timer)
        m_timer->SetClientInterval(this, 0);
}

void CMidiMeter::Trigger()
{
    if (m_timer)
        m_timer->SetClientInterval(this, kLitMs);
    m_lit.store(1, std::memory_order_relaxed);
}

void CMidiMeter::OnTimer()
{
    m_lit.store(0, std::memory_order_relaxed);
}
