#include "uikit/core/CPropIntFix100.h"

#include "uikit/core/PropertyText.h"

CProperty* CPropIntFix100::Clone() const
{
    return new CPropIntFix100(m_value, m_minimum, m_maximum, m_smallStep, m_largeStep);
}

bool CPropIntFix100::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropIntFix100*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    m_smallStep = o->m_smallStep;
    m_largeStep = o->m_largeStep;
    return true;
}

bool CPropIntFix100::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum == nullptr || maximum == nullptr)
        return CProperty::GetLimits(minimum, maximum);
    *minimum = new CPropIntFix100(m_minimum);
    *maximum = new CPropIntFix100(m_maximum);
    return true;
}

void CPropIntFix100::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(m_value);
}

bool CPropIntFix100::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v) || v.lVal < m_minimum || v.lVal > m_maximum)
        return false;
    m_value = v.lVal;
    return true;
}

bool CPropIntFix100::IsValidChar(int ch) const
{
    return prop::IsScaledChar(ch);
}

void CPropIntFix100::FormatText(CString& out) const
{
    out = prop::FormatScaled(m_value, 2);
}

bool CPropIntFix100::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    const LONGLONG v = prop::ParseScaled(text, 2);
    if (v < m_minimum || v > m_maximum)
        return false;
    m_value = static_cast<LONG>(v);
    return true;
}

void CPropIntFix100::HandleStepKey(int key)
{
    LONGLONG step = 0;
    switch (key) {
    case '+': step = m_smallStep; break;
    case '-': step = -static_cast<LONGLONG>(m_smallStep); break;
    case ']': step = m_largeStep; break;
    case '[': step = -static_cast<LONGLONG>(m_largeStep); break;
    default: return;
    }
    m_value = static_cast<LONG>(prop::Clamp<LONGLONG>(m_value + step, m_minimum, m_maximum));
}

void CPropIntFix100::SetValue(LONG value)
{
    if (value >= m_minimum && value <= m_maximum)
        m_value = value;
}
