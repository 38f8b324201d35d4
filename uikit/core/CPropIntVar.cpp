#include "uikit/core/CPropIntVar.h"

#include "uikit/core/PropertyText.h"

CPropIntVar::CPropIntVar(LONG value, LONG minimum, LONG maximum, LONG decimals, LONG smallStep, LONG largeStep)
    : m_value(prop::Clamp(value, minimum, maximum)),
      m_minimum(minimum),
      m_maximum(maximum),
      m_decimals(prop::Clamp<LONG>(decimals, 0, kMaxDecimals)),
      m_smallStep(smallStep),
      m_largeStep(largeStep)
{
}

CProperty* CPropIntVar::Clone() const
{
    return new CPropIntVar(m_value, m_minimum, m_maximum, m_decimals, m_smallStep, m_largeStep);
}

bool CPropIntVar::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropIntVar*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    m_decimals = o->m_decimals;
    m_smallStep = o->m_smallStep;
    m_largeStep = o->m_largeStep;
    return true;
}

bool CPropIntVar::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum == nullptr || maximum == nullptr)
        return CProperty::GetLimits(minimum, maximum);
    // Limits of this kind with the same decimals: a message that names the
    // range shows 1.500, not 15.00.
    *minimum = new CPropIntVar(m_minimum, INT_MIN, INT_MAX, m_decimals);
    *maximum = new CPropIntVar(m_maximum, INT_MIN, INT_MAX, m_decimals);
    return true;
}

void CPropIntVar::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(m_value);
}

bool CPropIntVar::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v) || v.lVal < m_minimum || v.lVal > m_maximum)
        return false;
    m_value = v.lVal;
    return true;
}

bool CPropIntVar::IsValidChar(int ch) const
{
    return prop::IsScaledChar(ch);
}

void CPropIntVar::FormatText(CString& out) const
{
    out = prop::FormatScaled(m_value, m_decimals);
}

bool CPropIntVar::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    const LONGLONG v = prop::ParseScaled(text, m_decimals);
    if (v < m_minimum || v > m_maximum)
        return false;
    m_value = static_cast<LONG>(v);
    return true;
}

void CPropIntVar::HandleStepKey(int key)
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

void CPropIntVar::SetValue(LONG value)
{
    if (value >= m_minimum && value <= m_maximum)
        m_value = value;
}
