#include "uikit/core/CPropInt.h"

#include <cctype>

#include "uikit/core/PropertyText.h"

bool CPropInt::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropInt*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    return true;
}

bool CPropInt::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum == nullptr || maximum == nullptr)
        return CProperty::GetLimits(minimum, maximum);
    *minimum = new CPropInt(m_minimum);
    *maximum = new CPropInt(m_maximum);
    return true;
}

void CPropInt::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(m_value);
}

bool CPropInt::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v) || v.lVal < m_minimum || v.lVal > m_maximum)
        return false;
    m_value = v.lVal;
    return true;
}

bool CPropInt::IsValidChar(int ch) const
{
    return std::isdigit(static_cast<unsigned char>(ch)) || (ch == '-' && m_minimum < 0);
}

void CPropInt::FormatText(CString& out) const
{
    out = prop::FormatInt(m_value);
}

bool CPropInt::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    const LONG v = prop::LeadingInt(text);
    if (v < m_minimum || v > m_maximum)
        return false;
    m_value = v;
    return true;
}

void CPropInt::HandleStepKey(int key)
{
    LONGLONG step = 0;
    switch (key) {
    case '+': step = 1; break;
    case '-': step = -1; break;
    case ']': step = 10; break;
    case '[': step = -10; break;
    default: return;
    }
    m_value = static_cast<LONG>(prop::Clamp<LONGLONG>(m_value + step, m_minimum, m_maximum));
}

void CPropInt::SetValue(LONG value)
{
    if (value >= m_minimum && value <= m_maximum)
        m_value = value;
}

void CPropInt::SetRange(LONG minimum, LONG maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
}
