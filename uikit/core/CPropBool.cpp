#include "uikit/core/CPropBool.h"

#include <cstring>

#include "uikit/core/PropertyText.h"

bool CPropBool::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropBool*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    return true;
}

bool CPropBool::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum == nullptr || maximum == nullptr)
        return CProperty::GetLimits(minimum, maximum);
    *minimum = new CPropBool(false);
    *maximum = new CPropBool(true);
    return true;
}

void CPropBool::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromBool(m_value != 0);
}

bool CPropBool::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_BOOL, &v))
        return false;
    m_value = v.boolVal != 0 ? 1 : 0;
    return true;
}

void CPropBool::FormatText(CString& out) const
{
    out.Format("%d", m_value != 0 ? 1 : 0);
}

bool CPropBool::ParseText(const char* text)
{
    if (text == nullptr)
        return false;
    if (std::strcmp(text, "1") == 0)
        m_value = 1;
    else if (std::strcmp(text, "0") == 0)
        m_value = 0;
    else
        return false;
    return true;
}

void CPropBool::HandleStepKey(int key)
{
    if (key == '+' || key == ']')
        m_value = 1;
    else if (key == '-' || key == '[')
        m_value = 0;
}
