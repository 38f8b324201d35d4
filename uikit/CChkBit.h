// A self-drawn button that shows a bitmap (or its text when the resource id
// is 1) and works as a check box (toggles on release), a push button, or an
// auto-repeat button (clicks at the press, after 500 ms and then every
// 50 ms while held inside). It answers the button messages (BM_GETCHECK,
// BM_SETCHECK, BM_GETSTATE, BM_SETSTATE, WM_SETFONT, WM_GETFONT) and the
// command-update pass, and tells its owner (the parent without one) with
// WM_COMMAND: BN_CLICKED, BN_DOUBLECLICKED, 8 for a right-button click.
// A press dragged out and released outside posts nothing. A checked button
// may blink: every 250 ms a phase, blank one phase in four.
//
// The check-box styles are the button types BS_CHECKBOX, BS_AUTOCHECKBOX,
// BS_RADIOBUTTON, BS_3STATE, BS_AUTO3STATE and BS_AUTORADIOBUTTON;
// BS_DEFPUSHBUTTON stays a push button. UI thread only.
#pragma once

#include "platform/ui/ButtonMessages.h"
#include "platform/ui/CCmdUI.h"
#include "platform/ui/CFont.h"
#include "platform/ui/CWnd.h"

class CChkBit : public CWnd {
public:
    static constexpr const char* kClassName = "CC:ChkBit";
    static constexpr WORD kRightClick = 8;
    static constexpr UINT_PTR kBlinkTimer = 1;

    CChkBit(UINT resourceId, UINT commandId);
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id, UINT bitmapId,
                UINT extraId = 0);

    void SetCheck(BOOL check);
    BOOL GetCheck() const { return m_checked; }
    BOOL IsPressed() const { return m_pressed; }
    void SetBlink(BOOL blink) { m_blink = blink; }
    void SetRepeat(BOOL repeat) { m_repeat = repeat; }
    void SetCursors(HCURSOR ctrlCursor, HCURSOR shiftCursor);
    void SetFaceColor(COLORREF colour) { m_faceColor = colour; }
    int GetBlinkPhase() const { return m_blinkPhase; }
    bool IsCheckStyle() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnCancelMode() override;
    void OnTimer(UINT_PTR id) override;

    void Press();
    void Post(WORD code);
    bool PointerInside() const;
    void DrawFace(CDC* dc, const CRect& client);

    UINT m_resourceId;
    BOOL m_bordered = FALSE, m_blink = FALSE, m_repeat = FALSE;
    HCURSOR m_plainCursor, m_ctrlCursor = nullptr, m_shiftCursor = nullptr;
    COLORREF m_faceColor;
    CFont* m_font = nullptr;
    UINT m_bitmapId = 0, m_extraId = 0;
    BOOL m_pressed = FALSE, m_checked = FALSE;
    UINT m_commandId;
    BOOL m_dblClicked = FALSE, m_checkAtPress = FALSE;
    int m_blinkPhase = 0;
    bool m_repeating = false;
};

// Lets the command-update pass drive a CChkBit: enable, check, text.
class CChkBitCmdUI : public CCmdUI {
public:
    explicit CChkBitCmdUI(CChkBit* button) : m_button(button) {}
    void Enable(BOOL on = TRUE) override;
    void SetCheck(int check = 1) override;
    void SetText(const char* text) override;

private:
    CChkBit* m_button;
};
