#include "devices/CNrpnContext.h"

CNrpnContext::CNrpnContext() = default;

void CNrpnContext::ParseNrpn(DWORD message, int port)
{
    if (port < 0 || port >= kPorts)
        return;
    const int channel = static_cast<int>(message & 0x0F);
    const BYTE controller = static_cast<BYTE>((message >> 8) & 0x7F);
    const BYTE value = static_cast<BYTE>((message >> 16) & 0x7F);
    Slot& s = m_slots[static_cast<std::size_t>(port * 16 + channel)];
    s.complete = FALSE;
    auto select = [&](DWORD kind, bool high) {
        if (high) {
            s.kind = kind;
            s.numberHigh = value;
            s.numberLow = 0;
        } else {
            if (s.kind != kind) {
                s.kind = kind;
                s.numberHigh = 0;
            }
            s.numberLow = value;
        }
        s.valueHigh = 0;
        s.valueLow = 0;
    };
    switch (controller) {
    case 99: select(kNrpn, true); break;
    case 101: select(kRpn, true); break;
    case 98: select(kNrpn, false); break;
    case 100: select(kRpn, false); break;
    case 6:
        if (s.kind == kNone)
            return;
        s.valueHigh = value;
        s.valueLow = 0;
        s.complete = m_waitForLsb ? FALSE : TRUE;
        break;
    case 38:
        if (s.kind == kNone)
            return;
        s.valueLow = value;
        s.complete = TRUE;
        break;
    case 96: {
        if (s.kind == kNone)
            return;
        const int v = (s.valueHigh << 7 | s.valueLow) + 1;
        if (v > 16383)
            return;
        s.valueHigh = static_cast<BYTE>(v >> 7);
        s.valueLow = static_cast<BYTE>(v & 127);
        s.complete = TRUE;
        break;
    }
    case 97: {
        if (s.kind == kNone)
            return;
        const int v = s.valueHigh << 7 | s.valueLow;
        if (v < 1)
            return;
        s.valueHigh = static_cast<BYTE>((v - 1) >> 7);
        s.valueLow = static_cast<BYTE>((v - 1) & 127);
        s.complete = TRUE;
        break;
    }
    default:
        return;
    }
    if (s.complete)
        OnNrpnComplete(s.kind, s.numberHigh << 7 | s.numberLow, channel, s.valueHigh << 7 | s.valueLow, port);
}
