#include "plugins/synthframework/DXiEvent.h"

#include <cstring>

namespace mvsynth {

namespace {
constexpr std::size_t kDurationAt = 3;  // within the kind's bytes
}

DWORD DXiEvent::Duration() const
{
    DWORD d;
    std::memcpy(&d, data + kDurationAt, sizeof d);
    return d;
}

void DXiEvent::SetDuration(DWORD duration) { std::memcpy(data + kDurationAt, &duration, sizeof duration); }

DXiEvent DXiEventFromMfx(const MfxEvent& event)
{
    DXiEvent out{};
    out.time = static_cast<DWORD>(event.m_time);
    out.port = event.m_port;
    out.channel = event.m_channel;
    out.kind = event.m_kind;
    std::memcpy(out.data, event.m_data, sizeof out.data);
    return out;
}

MfxEvent MfxEventFromDXi(const DXiEvent& event)
{
    MfxEvent out{};
    out.m_time = static_cast<LONG>(event.time);
    out.m_port = event.port;
    out.m_channel = event.channel;
    out.m_kind = event.kind;
    std::memcpy(out.m_data, event.data, sizeof out.m_data);
    return out;
}

}  // namespace mvsynth
