// A check box bound to a property: its check state as a 32-bit integer
// (saved 0 or 1; any value but 0 checks it on load).
#pragma once

#include "uikit/CDlgItem.h"

class CDlgItemCheckBox : public CDlgItem {
public:
    using CDlgItem::CDlgItem;
    void Exchange(bool save, int id, CWnd* dialog, DWORD owner) override;
};
