#include "uikit/core/CPropTime.h"

#include "uikit/core/CPropHMSF.h"
#include "uikit/core/CPropMBT.h"
#include "uikit/core/PropertyText.h"

bool CPropTime::s_smpteDisplay = false;

bool CPropTime::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropTime*>(other);
    if (o == nullptr)
        return false;
    m_context = o->m_context;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    m_smpteOffset = o->m_smpteOffset;
    return true;
}

void CPropTime::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(m_value);
}

bool CPropTime::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v) || v.lVal < m_minimum || v.lVal > m_maximum)
        return false;
    m_value = v.lVal;
    return true;
}

bool CPropTime::IsValidChar(int ch) const
{
    return CPropMBT::IsTimeChar(ch);
}

void CPropTime::FormatText(CString& out) const
{
    const LONG zero = 0, top = INT_MAX;
    if (s_smpteDisplay)
        CPropHMSF(m_context, m_value, zero, top, m_smpteOffset).FormatText(out);
    else
        CPropMBT(m_context, &m_value, &zero, &top).FormatText(out);
}

void CPropTime::FormatNumber(CString& out) const
{
    out = prop::FormatInt(m_value);
}

bool CPropTime::ParseText(const char* text)
{
    if (s_smpteDisplay) {
        CPropHMSF t(m_context, m_value, m_minimum, m_maximum, m_smpteOffset);
        if (!t.ParseText(text))
            return false;
        m_value = t.GetValue();
        return true;
    }
    CPropMBT t(m_context, &m_value, &m_minimum, &m_maximum);
    if (!t.ParseText(text))
        return false;
    m_value = t.GetTicks();
    return true;
}

void CPropTime::HandleStepKey(int key)
{
    if (s_smpteDisplay) {
        CPropHMSF t(m_context, m_value, m_minimum, m_maximum, m_smpteOffset);
        t.HandleStepKey(key);
        m_value = t.GetValue();
        return;
    }
    CPropMBT t(m_context, &m_value, &m_minimum, &m_maximum);
    t.HandleStepKey(key);
    m_value = t.GetTicks();
}
