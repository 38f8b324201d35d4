// A two-state button drawn from an up and a down bitmap: each left press or
// space bar flips it and then clicks as a button does (BN_CLICKED follows);
// a double click counts as one more press. UI thread only.
#pragma once

#include "platform/ui/CBitmapButton.h"

class CBitmapToggleCtrl : public CBitmapButton {
public:
    ~CBitmapToggleCtrl() override;

    // Keeps its own copies, makes the button owner-drawn and sizes it to the bitmap.
    BOOL LoadBitmaps(UINT upId, UINT downId = 0, UINT focusId = 0, UINT disabledId = 0);
    void FreeBitmaps();
    BOOL IsOn() const { return m_on; }
    void SetOn(BOOL on);
    void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;

    BOOL m_on = FALSE;
    CBitmap m_up, m_down, m_focus, m_disabled;
};
