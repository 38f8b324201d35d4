#include "model/CMfxEventQueue.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

bool IsReadableText(const void* data, DWORD size) { return std::memchr(data, 0, size) != nullptr; }

bool IsSysexBlock(const void* data, DWORD size)
{
    const auto* bytes = static_cast<const BYTE*>(data);
    return size >= 2 && bytes[0] == 0xF0 && bytes[size - 1] == 0xF7;
}

}  // namespace

CMfxEventQueue::CMfxEventQueue(IMfxBufferFactory* factory, int capacity) : m_step(std::max(capacity, 1))
{
    if (factory) {
        m_factory = factory;
        m_factory->AddRef();
    } else {
        m_factory = new (std::nothrow) CMfxBufferFactory;
    }
    m_events = static_cast<MfxEvent*>(std::malloc(static_cast<std::size_t>(m_step) * sizeof(MfxEvent)));
    if (m_events)
        m_capacity = m_step;
}

CMfxEventQueue::~CMfxEventQueue()
{
    Clear();
    std::free(m_events);
    if (m_factory)
        m_factory->Release();
}

std::span<const mvcom::InterfaceEntry> CMfxEventQueue::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {
        Entry<CMfxEventQueue, IMfxEventQueue2>(IID_IMfxEventQueue2),
        Entry<CMfxEventQueue, IMfxEventQueue>(IID_IMfxEventQueue),
    };
    return table;
}

bool CMfxEventQueue::IsValidRecord(const MfxEvent& e) const
{
    if (e.m_time < 0 || e.m_channel > 15)
        return false;
    void* data = nullptr;
    DWORD size = 0;
    switch (e.m_kind) {
    case MfxNote: return e.m_note.key <= 127 && e.m_note.velocity <= 127 && e.m_note.extra <= 127;
    case MfxKeyAftertouch: return e.m_keyAft.key <= 127 && e.m_keyAft.pressure <= 127;
    case MfxController: return e.m_ctrl.number <= 127 && e.m_ctrl.value <= 127;
    case MfxPatch:
        return e.m_patch.patch <= 127 && e.m_patch.bankMethod <= 3 &&
               (e.m_patch.bank == 0xFFFF || e.m_patch.bank <= 16383);
    case MfxChannelAftertouch: return e.m_chanAft.pressure <= 127;
    case MfxWheel: return e.m_wheel.value >= -8192 && e.m_wheel.value <= 8191;
    case MfxRpn:
    case MfxNrpn: return e.m_rpn.number <= 16383 && e.m_rpn.value <= 16383;
    case MfxSysex:
        return e.m_buffer.handle != 0 && m_factory && SUCCEEDED(m_factory->GetPointer(e.m_buffer.handle, &data, &size)) &&
               IsSysexBlock(data, size);
    case MfxText:
    case MfxText2:
        return e.m_buffer.handle != 0 && m_factory && SUCCEEDED(m_factory->GetPointer(e.m_buffer.handle, &data, &size)) &&
               IsReadableText(data, size);
    case MfxKind16: return true;
    default: return false;
    }
}

HRESULT CMfxEventQueue::SetCount(int count)
{
    if (count < 0 || count > INT_MAX - m_step)
        return E_OUTOFMEMORY;
    const int needed = (count + m_step) / m_step * m_step;
    if (needed > m_capacity) {
        void* grown = std::realloc(m_events, static_cast<std::size_t>(needed) * sizeof(MfxEvent));
        if (!grown)
            return E_OUTOFMEMORY;
        m_events = static_cast<MfxEvent*>(grown);
        m_capacity = needed;
    }
    m_count = count;
    return S_OK;
}

STDMETHODIMP CMfxEventQueue::Add(const MfxEvent* event)
{
    if (!event)
        return E_POINTER;
    if (!IsValidRecord(*event))
        return E_INVALIDARG;
    const LONG time = event->m_time;
    int at = m_count;
    if (m_count > 0 && m_events[m_count - 1].m_time > time) {
        // After every record at or below the new time.
        MfxEvent* end = m_events + m_count;
        at = static_cast<int>(std::upper_bound(m_events, end, time,
                                               [](LONG t, const MfxEvent& e) { return t < e.m_time; }) -
                              m_events);
    }
    const int tail = m_count - at;
    if (m_fixed && m_count >= m_capacity) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return E_OUTOFMEMORY;
    }
    HRESULT hr = m_fixed ? (++m_count, S_OK) : SetCount(m_count + 1);
    if (FAILED(hr))
        return hr;
    std::memmove(m_events + at + 1, m_events + at, static_cast<std::size_t>(tail) * sizeof(MfxEvent));
    std::memcpy(m_events + at, event, sizeof(MfxEvent));
    return S_OK;
}

STDMETHODIMP CMfxEventQueue::GetCount(int* count)
{
    if (!count)
        return E_POINTER;
    *count = m_count;
    return S_OK;
}

STDMETHODIMP CMfxEventQueue::GetAt(int index, MfxEvent* event)
{
    if (!event)
        return E_POINTER;
    if (index < 0 || index >= m_count)
        return E_INVALIDARG;
    std::memcpy(event, m_events + index, sizeof(MfxEvent));
    return S_OK;
}

STDMETHODIMP CMfxEventQueue::GetBufferFactory(IMfxBufferFactory** factory)
{
    if (!factory)
        return E_POINTER;
    *factory = m_factory;
    if (!m_factory)
        return E_OUTOFMEMORY;
    m_factory->AddRef();
    return S_OK;
}

HRESULT CMfxEventQueue::RemoveRange(int first, int count)
{
    if (first < 0 || count < 0 || first > m_count || count > m_count - first)
        return E_INVALIDARG;
    std::memmove(m_events + first, m_events + first + count,
                 static_cast<std::size_t>(m_count - first - count) * sizeof(MfxEvent));
    return SetCount(m_count - count);
}
