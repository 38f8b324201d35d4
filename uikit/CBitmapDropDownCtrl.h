// The drop-down drawn on bitmaps of its own (loaded from the resource
// module): the pressed one while its value is at least 0.5, else the
// normal one, to whose size it is made; then its text and arrow.
// UI thread only.
#pragma once

#include "uikit/CDropDownCtrl.h"

class CBitmapDropDownCtrl : public CDropDownCtrl {
public:
    // 0 for no pressed bitmap.
    CBitmapDropDownCtrl(CNWControlSite* site, UINT bitmapId, UINT pressedBitmapId);
    ~CBitmapDropDownCtrl() override;

    void Draw(CDC* dc) override;

private:
    CBitmap m_normal;
    CBitmap m_pressed;
};
