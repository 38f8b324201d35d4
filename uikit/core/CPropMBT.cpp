#include "uikit/core/CPropMBT.h"

#include <cctype>
#include <climits>

#include "uikit/core/ISeqUI.h"
#include "uikit/core/PropertyText.h"

namespace {

constexpr LONGLONG ToFixed(LONGLONG ticks) { return ticks * 65536; }

}  // namespace

CPropMBT::CPropMBT(ISeqUI* context, const LONG* ticks, const LONG* minimum, const LONG* maximum)
    : CProperty(context),
      m_value(ToFixed(ticks != nullptr ? *ticks : 0)),
      m_minimum(ToFixed(minimum != nullptr ? *minimum : INT_MIN)),
      m_maximum(ToFixed(maximum != nullptr ? *maximum : INT_MAX))
{
}

LONG CPropMBT::RoundTicks(LONGLONG fixed)
{
    const LONGLONG t = (fixed >> 16) + ((fixed >> 15) & 1);
    return static_cast<LONG>(prop::Clamp<LONGLONG>(t, INT_MIN, INT_MAX));
}

bool CPropMBT::IsTimeChar(int ch)
{
    return std::isdigit(static_cast<unsigned char>(ch)) || ch == ':' || ch == ' ' || ch == '|' || ch == '.';
}

bool CPropMBT::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropMBT*>(other);
    if (o == nullptr)
        return false;
    m_context = o->m_context;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    return true;
}

void CPropMBT::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(GetTicks());
}

bool CPropMBT::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v))
        return false;
    const LONGLONG fixed = ToFixed(v.lVal);
    if (fixed < m_minimum || fixed > m_maximum)
        return false;
    m_value = fixed;
    return true;
}

void CPropMBT::FormatText(CString& out) const
{
    out.Empty();
    if (m_context == nullptr)
        return;
    LONG measure = 0, beat = 0, tick = 0;
    m_context->TicksToMbt(GetTicks(), &measure, &beat, &tick);
    out.Format("%d:%2d:%03d", measure, beat, tick);
}

void CPropMBT::FormatNumber(CString& out) const
{
    out = prop::FormatInt(GetTicks());
}

bool CPropMBT::ParseText(const char* text)
{
    if (m_context == nullptr || text == nullptr)
        return false;
    LONG measure = 0, beat = 0, tick = 0;
    const CString copy(text);
    if (FAILED(m_context->ParseMbtText(copy, &measure, &beat, &tick)))
        return false;
    const LONGLONG fixed = ToFixed(m_context->MbtToTicks(measure, beat, tick));
    if (fixed < m_minimum || fixed > m_maximum)
        return false;
    m_value = fixed;
    return true;
}

void CPropMBT::HandleStepKey(int key)
{
    if (m_context == nullptr)
        return;
    LONGLONG next = m_value;
    switch (key) {
    case '+':
    case '-': {
        // A song without a resolution has no display tick to step by.
        const LONG perQuarter = m_context->GetTicksPerQuarter();
        if (perQuarter <= 0)
            return;
        const LONGLONG step = ToFixed(960) / perQuarter;
        next = key == '+' ? m_value + step : m_value - step;
        break;
    }
    case ']': next = ToFixed(m_context->GetNextBeat(GetTicks())); break;
    case '[': next = ToFixed(m_context->GetPrevBeat(GetTicks())); break;
    default: return;
    }
    m_value = prop::Clamp(next, m_minimum, m_maximum);
}
