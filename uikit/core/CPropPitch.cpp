#include "uikit/core/CPropPitch.h"

#include <cctype>
#include <cstring>

#include "uikit/core/CPitchStr.h"
#include "uikit/core/PropertyText.h"

bool CPropPitch::CopyFrom(const CProperty* other)
{
    const auto* o = dynamic_cast<const CPropPitch*>(other);
    if (o == nullptr)
        return false;
    m_value = o->m_value;
    m_minimum = o->m_minimum;
    m_maximum = o->m_maximum;
    m_keyRow = o->m_keyRow;
    return true;
}

void CPropPitch::GetVariant(VARIANT* out) const
{
    if (out != nullptr)
        *out = VariantFromI4(m_value);
}

bool CPropPitch::SetVariant(const VARIANT& in)
{
    VARIANT v;
    if (!prop::ChangeType(in, VT_I4, &v) || v.lVal < 0 || v.lVal > 127)
        return false;
    m_value = v.lVal;
    return true;
}

bool CPropPitch::IsValidChar(int ch) const
{
    if (ch <= 0 || ch > 255)
        return false;
    if (std::isdigit(ch) || ch == '-' || ch == '+')
        return true;
    return std::strchr("\"b #xabcdefg ?", std::tolower(ch)) != nullptr;
}

void CPropPitch::FormatText(CString& out) const
{
    CPitchStr::Global().Format(GetNote(), m_keyRow, &out, GetSpelling());
}

void CPropPitch::FormatNumber(CString& out) const
{
    out = prop::FormatInt(m_value);
}

bool CPropPitch::ParseText(const char* text)
{
    int spelling = 0;
    const int note = CPitchStr::Global().Parse(text, true, m_keyRow, &spelling);
    if (note < 0 || note < m_minimum || note > m_maximum)
        return false;
    m_value = spelling << 8 | note;
    return true;
}

void CPropPitch::HandleStepKey(int key)
{
    const LONG note = GetNote();
    switch (key) {
    case '+':
        if (note < m_maximum)
            m_value = note + 1;
        break;
    case '-':
        if (note > m_minimum)
            m_value = note - 1;
        break;
    case ']':
        if (note + 12 <= m_maximum)
            m_value = note + 12;
        break;
    case '[':
        if (note - 12 >= m_minimum)
            m_value = note - 12;
        break;
    default: break;
    }
}
