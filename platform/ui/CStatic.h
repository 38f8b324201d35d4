// The "Static" control: a text (left, centred or right; '&' underlines the
// next character unless SS_NOPREFIX) or an etched horizontal rule. Before
// it paints, its parent is asked for colours with WM_CTLCOLORSTATIC (wParam the context, lParam the control): the parent may
// set the text colour and font on the context and answer a brush (a CBrush*)
// for the background, a null brush to show what the parent shows beneath;
// 0 keeps the button face.
// UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"

constexpr DWORD SS_LEFT = 0x00, SS_CENTER = 0x01, SS_RIGHT = 0x02, SS_ETCHEDHORZ = 0x10,
                SS_TYPEMASK = 0x1F, SS_NOPREFIX = 0x80, SS_NOTIFY = 0x100;

class CStatic : public CControlWnd {
public:
    BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = static_cast<UINT>(-1));

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
};
