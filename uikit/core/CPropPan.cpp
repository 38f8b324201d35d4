#include "uikit/core/CPropPan.h"

#include <cctype>
#include <cmath>

#include "uikit/core/PropertyText.h"

bool CPropPan::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropPan*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    m_centre = o->m_centre;
    return true;
}

bool CPropPan::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum == nullptr || maximum == nullptr)
        return CProperty::GetLimits(minimum, maximum);
    *minimum = new CPropPan(m_minimum);
    *maximum = new CPropPan(m_maximum);
    return true;
}

void CPropPan::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromR8(m_value);
}

bool CPropPan::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_R8, &v) || !InRange(v.dblVal))
        return false;
    m_value = v.dblVal;
    return true;
}

bool CPropPan::IsValidChar(int ch) const
{
    const int c = std::tolower(static_cast<unsigned char>(ch));
    return (ch >= '0' && ch <= '9') || ch == '-' || c == 'l' || c == 'r' || c == 'c';
}

void CPropPan::FormatText(CString& out) const
{
    const double span = m_maximum - m_minimum;
    // A range without width has only its centre to show (and no side to
    // divide by).
    if (!(span > 0.0) || std::fabs(m_value - m_centre) < 0.005 * span) {
        out = CString("C");
        return;
    }
    if (m_value <= m_centre)
        out.Format("%d%% L", static_cast<int>((m_value - m_centre) / (m_minimum - m_centre) * 100 + 0.5));
    else
        out.Format("%d%% R", static_cast<int>((m_value - m_centre) / (m_maximum - m_centre) * 100 + 0.5));
}

bool CPropPan::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    // Blanks after the letter are not the letter; an empty text is no
    // position at all (it would read as hard left).
    CString t(text);
    t.TrimRight();
    if (t.IsEmpty())
        return false;
    const double n = prop::LeadingDouble(t);
    double v = 0.0;
    switch (std::tolower(static_cast<unsigned char>(t[t.GetLength() - 1]))) {
    case 'l': v = m_centre + (m_minimum - m_centre) * n / 100; break;
    case 'c': v = m_centre; break;
    case 'r': v = m_centre + (m_maximum - m_centre) * n / 100; break;
    default: v = m_minimum + (m_maximum - m_minimum) * n / 127; break;
    }
    if (!InRange(v))
        return false;
    m_value = v;
    return true;
}

void CPropPan::HandleStepKey(int key)
{
    const double span = m_maximum - m_minimum;
    double step = 0.0;
    switch (key) {
    case '+': step = 0.005 * span; break;
    case '-': step = -0.005 * span; break;
    case ']': step = 0.05 * span; break;
    case '[': step = -0.05 * span; break;
    default: return;
    }
    m_value = prop::Clamp(m_value + step, m_minimum, m_maximum);
}
