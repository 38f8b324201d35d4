// The program's zoom scroll bar, drawn flat: a framed background, the thumb
// in its colour with the grip (or a plain block) on the zoom handle, and the
// end buttons framed with their bitmaps. UI thread only.
#pragma once

#include "uikit/COurScrollBar.h"

class COurFlatScrollBar : public COurScrollBar {
public:
    COurFlatScrollBar(CWnd* parent, int orientation, UINT id) : COurScrollBar(parent, orientation, id) {}

    void DrawBackground(CDC* dc) override;
    void DrawThumb(CDC* dc) override;
    void DrawButtons(CDC* dc) override;
};
