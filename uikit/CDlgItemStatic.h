// A static control bound to a property: it shows the property's formatted
// text, and its text is parsed back on save.
#pragma once

#include "uikit/CDlgItem.h"

class CDlgItemStatic : public CDlgItem {
public:
    using CDlgItem::CDlgItem;
    void Exchange(bool save, int id, CWnd* dialog, DWORD owner) override;
};
