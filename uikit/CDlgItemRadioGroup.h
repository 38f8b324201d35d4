// A group of radio buttons bound to a property: the 0-based index of the
// checked button, -1 when none is. The group runs from the bound button
// through its following siblings up to the next window with WS_GROUP;
// only windows that say they are radio buttons (WM_GETDLGCODE) count.
#pragma once

#include <vector>

#include "uikit/CDlgItem.h"

class CDlgItemRadioGroup : public CDlgItem {
public:
    using CDlgItem::CDlgItem;
    void Exchange(bool save, int id, CWnd* dialog, DWORD owner) override;

private:
    static std::vector<CWnd*> Buttons(CWnd* first);
};
