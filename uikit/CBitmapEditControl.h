// The text field drawn on a bitmap of its own (loaded from the resource
// module, not shared through the cache) and sized to it; the text sits
// inside four insets, moved right by the text margin, with the control's
// alignment. UI thread only.
#pragma once

#include "uikit/CNWEditControl.h"

class CBitmapEditControl : public CNWEditControl {
public:
    CBitmapEditControl(CNWControlSite* site, UINT bitmapId);
    ~CBitmapEditControl() override;

    virtual void SetTextInsets(int left, int top, int right, int bottom);
    void Draw(CDC* dc) override;

private:
    CBitmap m_bitmap;
    CRect m_insets;
};
