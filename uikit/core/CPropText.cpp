#include "uikit/core/CPropText.h"

#include "uikit/core/PropertyText.h"

bool CPropText::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropText*>(other);
    if (o == nullptr)
        return false;
    m_text = o->m_text;
    m_maxLength = o->m_maxLength;
    return true;
}

void CPropText::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromText(m_text);
}

bool CPropText::SetVariant(const VARIANT& in)
{
    // A text the edit could not hold is refused here as it is when typed, so
    // whoever reads the property back never meets a longer one.
    VARIANT v;
    if (!prop::ChangeType(in, VT_BSTR, &v) || !Fits(v.bstrVal))
        return false;
    m_text = v.bstrVal;
    return true;
}

bool CPropText::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    const CString t(text);
    if (!Fits(t))
        return false;
    m_text = t;
    return true;
}
