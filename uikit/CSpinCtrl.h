// A small three-zone spin button tied to a buddy window (an edit field or a
// value control). The top two fifths step up, the bottom two fifths step
// down, and a drag in the middle steps once per pointer movement, the
// pointer put back to the press height each time. The right button gives
// page steps. The buddy gets ordinary WM_VSCROLL messages (SB_LINEUP,
// SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, lParam the spin's handle); a held
// zone repeats after 500 ms and then every 50 ms. Every press ends with one
// "spinctrl_dropped" posted to the parent (wParam the buddy's id). A press
// runs as a modal loop inside the button handler. UI thread only.
#pragma once

#include "platform/ui/CWnd.h"
#include "platform/ui/ScrollInfo.h"


class CSpinCtrl : public CWnd {
public:
    enum Zone { None, Top, Middle, Bottom };

    explicit CSpinCtrl(CWnd* buddy);

    // A visible, bordered child of `parent`.
    BOOL Create(const RECT& rect, CWnd* parent, UINT id);
    using CWnd::Create;
    Zone ZoneAt(POINT client) const;
    CRect ZoneRect(Zone zone) const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitCode, UINT message) override;
    void OnPaint() override;
    void OnNcPaint() override;

private:
    void Press(CPoint point, bool right);
    void Send(UINT code);

    CWnd* m_buddy;
    bool m_pressed = false;
};
