// A windowless text field. It edits nothing itself: a double click (while
// editable) is reported to the host as a click, and the host starts an
// in-place editor over it. Clicks never change its value. UI thread only.
#pragma once

#include "uikit/CNWControl.h"

class CNWEditControl : public CNWControl {
public:
    explicit CNWEditControl(CNWControlSite* site);

    void Draw(CDC* dc) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
};
