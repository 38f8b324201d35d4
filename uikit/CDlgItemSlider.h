// A trackbar bound to a property: the range is the property's limits (line
// size 1, page size and tick spacing a tenth of the range) and the position
// its value as a 32-bit integer; a vertical bar is mirrored so that its top
// is the maximum. A property without limits leaves the bar disabled.
#pragma once

#include "uikit/CDlgItem.h"

class CSliderCtrl;

class CDlgItemSlider : public CDlgItem {
public:
    using CDlgItem::CDlgItem;
    void Attach(int id, CWnd* dialog, DWORD owner) override;
    void Exchange(bool save, int id, CWnd* dialog, DWORD owner) override;

private:
    CSliderCtrl* m_slider = nullptr;
    int m_min = 0;
    int m_max = 0;
};
