#include "uikit/CDlgItem.h"

#include "uikit/core/CProperty.h"

void CDlgItem::Attach(int, CWnd*, DWORD) {}

bool CDlgItem::Validate(int, CWnd*, DWORD)
{
    return true;
}

LONG CDlgItem::IntegerOf(const CProperty& property)
{
    VARIANT v;
    property.GetVariant(&v);
    VARIANT i;
    return SUCCEEDED(VariantChangeType(&i, &v, 0, VT_I4)) ? i.lVal : 0;
}
