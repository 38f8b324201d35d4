// A drop-down list whose dropped list widens to its longest item (plus a
// scroll bar's width and a "0" of margin), for lists of long names such as
// port and controller names. UI thread only.
#pragma once

#include "platform/ui/CComboBox.h"

class CVarDropDownComboBox : public CComboBox {
public:
    // Puts one of these in place of the dialog's combo box `id`, with its
    // place, style and items; the new control, or null when there is none.
    static CVarDropDownComboBox* ReplaceDlgItem(CWnd* dialog, int id);

protected:
    void OnDropDown() override;
};
