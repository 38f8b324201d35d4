#include "devices/CRCLearner.h"

#include "devices/CRCTarget.h"

HRESULT CRCLearner::SetTarget(CRCTarget* target)
{
    if (!target)
        return E_INVALIDARG;
    m_target = target;
    return S_OK;
}

int CRCLearner::OnShortMsg(DWORD m, DWORD, int port)
{
    const BYTE status = static_cast<BYTE>(m & 0xF0);
    if (!m_target || status < 0x80 || status > 0xE0)
        return 0;
    CMidiMsg& t = m_target->Msg();
    switch (status) {
    case 0x80:
        t.m_kind = 12;
        m_target->m_mode = CMidiMsgListener::kGate;
        break;
    case 0x90:
        t.m_kind = 12;
        m_target->m_mode = CMidiMsgListener::kToggleAboveThreshold;
        break;
    case 0xB0:
        t.m_kind = 0;
        break;
    case 0xD0:
        t.m_kind = 14;
        break;
    case 0xE0:
        t.m_kind = 11;
        break;
    default:
        return 0;  // polyphonic pressure and program changes are not learned
    }
    t.m_maxValue = status == 0xE0 ? 16383 : 127;
    t.m_port = static_cast<DWORD>(port);
    t.m_channel = static_cast<WORD>(m & 0x0F);
    const WORD d1 = static_cast<WORD>((m >> 8) & 0x7F);
    if (t.m_kind == 0)
        t.m_controllerA = d1;
    else if (t.m_kind == 12)
        t.m_noteNumber = d1;
    if (status == 0xB0)
        ParseNrpn(m, port);
    OnLearned();
    return 1;
}

void CRCLearner::OnNrpnComplete(DWORD parserKind, int number, int channel, int, int)
{
    if (!m_target || (parserKind != kNrpn && parserKind != kRpn))
        return;
    CMidiMsg& t = m_target->Msg();
    t.m_kind = parserKind == kNrpn ? 5 : 6;
    (parserKind == kNrpn ? t.m_nrpnNumber : t.m_rpnNumber) = static_cast<WORD>(number);
    t.m_maxValue = 16383;
    t.m_channel = static_cast<WORD>(channel);
}
