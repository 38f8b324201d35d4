// A step control: its value rests at 0.5 and each step reaches the host as
// a change to 1.0 (up) or 0.0 (down), then goes back to 0.5 unreported.
// A click in the arrow area (the right third) steps by the half it hits;
// a vertical drag of 2 pixels or more steps once per move, and the pointer
// is put back where the drag started. A double click outside the arrow
// area is reported as a click. Drawn from a cached bitmap (a disabled one
// while not editable), with its caption at the left. UI thread only.
#pragma once

#include "uikit/CNWControl.h"

class CNWSpinner : public CNWControl {
public:
    // 0 for no disabled bitmap.
    CNWSpinner(CNWControlSite* site, UINT bitmapId, UINT disabledBitmapId);
    ~CNWSpinner() override;

    void Draw(CDC* dc) override;
    void DrawFocus(CDC* dc) override;
    void SetPosition(POINT point, bool redraw) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnRButtonUp(UINT flags, POINT point) override;
    // 0, 2, 4 step down; 1, 3, 5 step up; 6 is a click.
    int OnKeyAction(int code) override;

    const CRect& GetArrowRect() const { return m_arrow; }

private:
    void Step(double to);

    UINT m_bitmapId;
    UINT m_disabledId;
    double m_pressValue = -1.0;
    bool m_dragging = false;
    CRect m_arrow;
};
