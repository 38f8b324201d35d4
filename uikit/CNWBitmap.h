// A static cached bitmap with an optional centred caption, sized to the
// bitmap. A caption ending in "*" that does not fit is shortened so the
// mark stays visible: the longest prefix that fits followed by "...*".
// UI thread only.
#pragma once

#include "uikit/CNWControl.h"

class CNWBitmap : public CNWControl {
public:
    CNWBitmap(CNWControlSite* site, UINT bitmapId);
    ~CNWBitmap() override;

    void Draw(CDC* dc) override;
    UINT GetBitmapId() const { return m_bitmapId; }

    // The caption as drawn in `width` pixels with the DC's current font.
    static CString FitStarredCaption(CDC* dc, const CString& text, int width);

private:
    UINT m_bitmapId;
};
