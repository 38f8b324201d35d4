#include "platform/sync/CEventObject.h"

#include <chrono>

namespace mvsync {

CEventObject::CEventObject(bool manualReset, bool initialState)
    : m_manualReset(manualReset), m_signalled(initialState)
{
}

void CEventObject::Set()
{
    std::lock_guard guard(m_lock);
    if (m_manualReset) {
        m_signalled = true;
        ++m_generation;
        m_changed.notify_all();
    } else if (m_waiters > m_releases) {
        ++m_releases;
        m_changed.notify_one();
    } else {
        m_signalled = true;
    }
}

void CEventObject::Reset()
{
    std::lock_guard guard(m_lock);
    m_signalled = false;
}

void CEventObject::Pulse()
{
    std::lock_guard guard(m_lock);
    m_signalled = false;
    if (m_manualReset) {
        ++m_generation;
        m_changed.notify_all();
    } else if (m_waiters > m_releases) {
        ++m_releases;
        m_changed.notify_one();
    }
}

template <class Pred>
bool CEventObject::WaitUntil(std::unique_lock<std::mutex>& guard, DWORD milliseconds, Pred released)
{
    if (milliseconds == INFINITE) {
        m_changed.wait(guard, released);
        return true;
    }
    return m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds), released);
}

DWORD CEventObject::Wait(DWORD milliseconds)
{
    std::unique_lock guard(m_lock);
    if (m_manualReset) {
        if (m_signalled)
            return WAIT_OBJECT_0;
        const std::uint64_t generation = m_generation;
        const bool released =
            WaitUntil(guard, milliseconds, [&] { return m_signalled || m_generation != generation; });
        return released ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }
    if (m_signalled) {
        m_signalled = false;
        return WAIT_OBJECT_0;
    }
    ++m_waiters;
    const bool released = WaitUntil(guard, milliseconds, [&] { return m_releases > 0; });
    --m_waiters;
    if (!released)
        return WAIT_TIMEOUT;
    --m_releases;
    return WAIT_OBJECT_0;
}

}  // namespace mvsync
