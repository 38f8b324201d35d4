// An owner-drawn push button drawn from up to four bitmaps (up, down, focus,
// disabled) loaded by id. A left press shows it down while held inside; a
// release inside, or the space bar, clicks: WM_COMMAND BN_CLICKED to the
// parent. Painting goes through DrawItem, which derived buttons replace.
// UI thread only.
#pragma once

#include "platform/ui/ButtonMessages.h"
#include "platform/ui/CBitmap.h"
#include "platform/ui/CWnd.h"
#include "platform/ui/OwnerDraw.h"

class CBitmapButton : public CWnd {
public:
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // FALSE when the up bitmap is missing; the others are optional (0 for none).
    BOOL LoadBitmaps(UINT upId, UINT downId = 0, UINT focusId = 0, UINT disabledId = 0);
    // Sizes the button to its up bitmap.
    void SizeToContent();
    virtual void DrawItem(LPDRAWITEMSTRUCT item);
    BOOL IsDown() const { return m_down; }

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnCancelMode() override;
    void OnSetFocus(CWnd*) override { Invalidate(FALSE); }
    void OnKillFocus(CWnd*) override { Invalidate(FALSE); }
    void Click();
    // Loads bitmap `id` of the program into `bitmap`; 0 or a missing id leaves it empty.
    static void LoadInto(CBitmap& bitmap, UINT id);

    CBitmap m_bitmap, m_bitmapSel, m_bitmapFocus, m_bitmapDisabled;
    BOOL m_down = FALSE;
};
