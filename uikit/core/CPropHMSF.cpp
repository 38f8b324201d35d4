#include "uikit/core/CPropHMSF.h"

#include "uikit/core/CPropMBT.h"
#include "uikit/core/ISeqUI.h"
#include "uikit/core/PropertyText.h"

CProperty* CPropHMSF::Clone() const
{
    return new CPropHMSF(m_context, m_value, m_minimum, m_maximum, m_smpteOffset);
}

bool CPropHMSF::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropHMSF*>(other);
    if (o == nullptr)
        return false;
    m_context = o->m_context;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    m_smpteOffset = o->m_smpteOffset;
    return true;
}

void CPropHMSF::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(m_value);
}

bool CPropHMSF::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v) || v.lVal < m_minimum || v.lVal > m_maximum)
        return false;
    m_value = v.lVal;
    return true;
}

bool CPropHMSF::IsValidChar(int ch) const
{
    return CPropMBT::IsTimeChar(ch);
}

LONGLONG CPropHMSF::ShownFrames(LONG ticks) const
{
    LONGLONG frames = m_context->TicksToFrames(ticks);
    if (m_smpteOffset)
        frames -= m_context->GetSmpteOffset();
    return frames;
}

LONG CPropHMSF::TicksOfShownFrames(LONGLONG frames) const
{
    if (m_smpteOffset)
        frames += m_context->GetSmpteOffset();
    return m_context->FramesToTicks(static_cast<LONG>(prop::Clamp<LONGLONG>(frames, INT_MIN, INT_MAX)));
}

void CPropHMSF::FormatText(CString& out) const
{
    out.Empty();
    if (m_context == nullptr)
        return;
    // The split of a negative count would print as huge unsigned fields; a
    // position before the SMPTE start shows its distance with a sign.
    const LONGLONG frames = ShownFrames(m_value);
    const LONGLONG magnitude = frames < 0 ? -frames : frames;
    LONG h = 0, m = 0, s = 0, f = 0;
    m_context->FramesToSmpte(static_cast<LONG>(prop::Clamp<LONGLONG>(magnitude, 0, INT_MAX)), &h, &m, &s, &f);
    out.Format("%s%02u:%02u:%02u:%02u", frames < 0 ? "-" : "", static_cast<unsigned>(h), static_cast<unsigned>(m),
               static_cast<unsigned>(s), static_cast<unsigned>(f));
}

void CPropHMSF::FormatNumber(CString& out) const
{
    out = prop::FormatInt(m_value);
}

bool CPropHMSF::ParseText(const char* text)
{
    if (m_context == nullptr || text == nullptr)
        return false;
    LONG h = 0, m = 0, s = 0, f = 0;
    if (FAILED(m_context->ParseSmpteText(text, &h, &m, &s, &f)))
        return false;
    const LONG ticks = TicksOfShownFrames(m_context->SmpteToFrames(h, m, s, f, m_smpteOffset));
    if (ticks < m_minimum || ticks > m_maximum)
        return false;
    m_value = ticks;
    return true;
}

void CPropHMSF::HandleStepKey(int key)
{
    if (m_context == nullptr)
        return;
    LONGLONG next = m_value;
    const LONGLONG frames = ShownFrames(m_value);
    switch (key) {
    case '+': next = TicksOfShownFrames(frames + 1); break;
    case '-': next = TicksOfShownFrames(frames - 1); break;
    case ']':
    case '[': {
        LONG h = 0, m = 0, s = 0, f = 0;
        m_context->FramesToSmpte(static_cast<LONG>(prop::Clamp<LONGLONG>(frames, INT_MIN, INT_MAX)), &h, &m, &s, &f);
        if (key == ']') {
            ++s;
        } else if (s > 0) {
            --s;
        } else if (m > 0) {
            --m;
            s = 59;
        } else if (h > 0) {
            --h;
            m = 59;
            s = 59;
        } else {
            // Nothing lies before the first second: the minimum.
            m_value = m_minimum;
            return;
        }
        next = TicksOfShownFrames(m_context->SmpteToFrames(h, m, s, 0, m_smpteOffset));
        break;
    }
    default: return;
    }
    m_value = static_cast<LONG>(prop::Clamp<LONGLONG>(next, m_minimum, m_maximum));
}
