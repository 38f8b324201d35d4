#include "devices/CMidiMsgListener.h"

#include <algorithm>

LONG CMidiMsgListener::Clamp(LONG v) { return std::clamp(v, GetMinValue(), std::max(GetMinValue(), GetMaxValue())); }

HRESULT CMidiMsgListener::Drive(CMidiMsg* msg, LONG maxValue)
{
    HRESULT hr = S_OK;
    switch (GetValueType()) {
    case kSwitchValue:
        hr = SetState(msg, m_current > 0);
        break;
    case kContinuous: {
        float f = 0.0f;
        if (m_mode == kStepTable || m_mode == kRelativeSignBit || m_mode == kRelativeTwosComplement) {
            const LONG span = GetMaxValue() - GetMinValue();
            f = span != 0 ? static_cast<float>(m_current - GetMinValue()) / static_cast<float>(span) : 0.0f;
        } else {
            f = maxValue != 0 ? static_cast<float>(m_current) / static_cast<float>(maxValue) : 0.0f;
        }
        hr = SetValue(msg, f);
        break;
    }
    default:
        break;
    }
    if (FAILED(hr))
        return hr;
    return OnValue(msg, m_current);
}

HRESULT CMidiMsgListener::OnLearnedValue(CMidiMsg* msg, LONG x, LONG max)
{
    if (!m_enabled)
        return S_FALSE;
    const LONG half = max >> 1;
    const double r = max != 0 ? static_cast<double>(x) / max : 0.0;
    switch (m_mode) {
    case kAbsolute:
        if (m_pickup && m_waitingForPickup) {
            const LONG c = m_current;
            const LONG p = m_lastInput;
            // Until the control crosses the value the target holds, it
            // does not take over: no jump when a fader starts elsewhere.
            if (p == -1 || (x < c && p < c) || (x > c && p > c)) {
                m_lastInput = x;
                return S_FALSE;
            }
            m_waitingForPickup = FALSE;
        }
        m_current = x;
        break;
    case kStepTable:
        if (const auto it = m_steps.find(static_cast<DWORD>(x)); it != m_steps.end())
            m_current = Clamp(m_current + it->second);
        break;
    case kRelativeSignBit:
        m_current = (x & (half + 1)) ? Clamp(m_current - (x & half)) : Clamp(m_current + (x & half));
        break;
    case kRelativeTwosComplement:
        m_current = (x & (half + 1)) ? Clamp(m_current + x - max - 1) : Clamp(m_current + (x & half));
        break;
    case kToggleOnValue:
        if (x == m_threshold)
            m_current = m_current > 0 ? 0 : 1;
        break;
    case kOnOffValues:
        if (x == m_onValue)
            m_current = 1;
        else if (x == m_offValue)
            m_current = 0;
        break;
    case kToggleAboveThreshold:
        if (x <= m_threshold)
            return S_OK;
        m_current = m_current > 0 ? 0 : max;
        break;
    case kGate:
        m_current = x > m_threshold ? max : 0;
        break;
    case kTrigger:
        if (m_current == 0 && r >= 0.5) {
            m_current = 1;
            break;
        }
        if (m_current == 1 && r < 0.5)
            m_current = 0;  // re-armed, nothing driven
        return S_OK;
    case kSwitch:
        if (m_current == 0 && r > 0.5)
            m_current = 1;
        else if (m_current == 1 && r <= 0.5)
            m_current = 0;
        else
            return S_OK;
        break;
    default:
        break;
    }
    return Drive(msg, max);
}

HRESULT CMidiMsgListener::PersistListener(CKelPersistArchive* archive)
{
    HRESULT hr;
    if (FAILED(hr = archive->PersistBool(&m_enabled)) || FAILED(hr = archive->PersistBool(&m_pickup)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_offValue, &m_offValue)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_onValue, &m_onValue)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_threshold, &m_threshold)) ||
        FAILED(hr = archive->PersistBytes(sizeof m_mode, &m_mode)))
        return hr;
    return S_OK;
}
