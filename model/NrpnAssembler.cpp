#include "model/NrpnAssembler.h"

#include "model/CMfxEvent.h"

namespace {

constexpr DWORD kRpnMode = 0;
constexpr DWORD kNrpnMode = 1;
constexpr DWORD kNoMode = 2;

int Plain(LONG time, BYTE channel, int controller, int value, CMfxEvent* out)
{
    out->m_time = time;
    out->m_channel = channel;
    out->m_kind = MfxController;
    out->SetNumber(controller);
    out->SetValue(value);
    return 1;
}

}  // namespace

void InitNrpnChannelStates(NRPN_CHANNEL_STATE states[16])
{
    for (int i = 0; i < 16; ++i)
        states[i] = {kNoMode, 0, 0, 0, 0};
}

int NrpnControllerToEvent(NRPN_CHANNEL_STATE states[16], LONG time, BYTE channel, int controller, int value,
                          CMfxEvent* previous, CMfxEvent* out)
{
    NRPN_CHANNEL_STATE& s = states[channel & 15];
    const auto v = static_cast<DWORD>(value & 127);
    switch (controller) {
    case 99:
    case 101:
        s.mode = controller == 99 ? kNrpnMode : kRpnMode;
        s.paramMsb = v;
        s.paramLsb = s.dataMsb = s.dataLsb = 0;
        return 0;
    case 98:
    case 100: {
        const DWORD mode = controller == 98 ? kNrpnMode : kRpnMode;
        if (s.mode != mode) {
            s.mode = mode;
            s.paramMsb = 0;
        }
        s.paramLsb = v;
        s.dataMsb = s.dataLsb = 0;
        return 0;
    }
    case 6:
    case 38:
    case 96:
    case 97:
        break;
    default:
        return Plain(time, channel, controller, value, out);
    }
    if (s.mode == kNoMode)
        return Plain(time, channel, controller, value, out);
    const int data = static_cast<int>(s.dataMsb << 7 | s.dataLsb);
    switch (controller) {
    case 6: s.dataMsb = v; s.dataLsb = 0; break;
    case 38: s.dataLsb = v; break;
    case 96:
        if (data >= 16383)
            return 0;
        s.dataMsb = static_cast<DWORD>(data + 1) >> 7;
        s.dataLsb = static_cast<DWORD>(data + 1) & 127;
        break;
    default:
        if (data <= 0)
            return 0;
        s.dataMsb = static_cast<DWORD>(data - 1) >> 7;
        s.dataLsb = static_cast<DWORD>(data - 1) & 127;
        break;
    }
    const DWORD kind = s.mode == kRpnMode ? MfxRpn : MfxNrpn;
    const int number = static_cast<int>(s.paramMsb * 128 + s.paramLsb);
    if (controller == 38 && previous && previous->m_kind == kind && previous->GetNumber() == number &&
        previous->GetValue() == static_cast<int>(s.dataMsb * 128) && previous->m_channel == channel &&
        previous->m_time >= time - 120) {
        previous->SetValue(previous->GetValue() | static_cast<int>(s.dataLsb));
        return 2;
    }
    out->m_time = time;
    out->m_channel = channel;
    out->m_kind = kind;
    out->SetNumber(number);
    out->SetValue(static_cast<int>(s.dataMsb * 128 + s.dataLsb));
    return 1;
}
