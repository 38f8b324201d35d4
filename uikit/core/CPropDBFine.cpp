#include "uikit/core/CPropDBFine.h"

#include <cctype>
#include <cmath>

#include "uikit/core/PropertyText.h"

double FaderPositionToGain(float p)
{
    if (p <= 0.0f)
        return 0.0;
    if (p >= 0.7951756f && p <= 0.7953756f)
        return 1.0;
    const double x = p;
    if (p <= 14.0f / 127.0f)
        return std::exp2(635.0 / 12.0 * x - 12.5);
    if (p <= 35.0f / 127.0f)
        return std::exp2(1270.0 / 63.0 * x - 80.0 / 9.0);
    if (p <= 58.0f / 127.0f)
        return std::exp2(635.0 / 68.0 * x - 100.0 / 17.0);
    return std::exp2(127.0 / 26.0 * x - 101.0 / 26.0);
}

bool CPropDBFine::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropDBFine*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    return true;
}

bool CPropDBFine::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum == nullptr || maximum == nullptr)
        return CProperty::GetLimits(minimum, maximum);
    *minimum = new CPropDBFine(m_minimum);
    *maximum = new CPropDBFine(m_maximum);
    return true;
}

void CPropDBFine::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromR8(m_value);
}

bool CPropDBFine::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_R8, &v) || !InRange(v.dblVal))
        return false;
    m_value = v.dblVal;
    return true;
}

bool CPropDBFine::IsValidChar(int ch) const
{
    const int c = std::tolower(static_cast<unsigned char>(ch));
    return (ch >= '0' && ch <= '9') || ch == '-' || ch == '.' || c == 'i' || c == 'n' || c == 'f';
}

void CPropDBFine::FormatText(CString& out) const
{
    if (m_value == m_minimum)
        out = "-INF";
    else
        out.Format("%.1f", m_value);
}

void CPropDBFine::FormatNumber(CString& out) const
{
    out.Format("%.1f", m_value);
}

bool CPropDBFine::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    if (CString(text).CompareNoCase("-INF") == 0) {
        m_value = m_minimum;
        return true;
    }
    // "nan" reads as a number that every comparison passes; InRange refuses it.
    const double v = prop::LeadingDouble(text);
    if (!InRange(v))
        return false;
    m_value = v;
    return true;
}

void CPropDBFine::HandleStepKey(int key)
{
    double step = 0.0;
    switch (key) {
    case '+': step = 1.0; break;
    case '-': step = -1.0; break;
    case ']': step = 10.0; break;
    case '[': step = -10.0; break;
    default: return;
    }
    m_value = prop::Clamp(m_value + step, m_minimum, m_maximum);
}

bool CPropDBFine::SetFromLinearGain(double gain)
{
    if (gain == 0.0) {
        m_value = m_minimum;
        return true;
    }
    if (!(gain > 0.0))
        return false;
    const double db = 20.0 * std::log10(gain);
    if (InRange(db)) {
        m_value = db;
        return true;
    }
    m_value = db > m_maximum ? m_maximum : m_minimum;
    return false;
}
