// The value tip: a small borderless pop-up that floats next to the mouse
// and shows a control's value while it is dragged. One per control site.
// The window stays inside the virtual screen; it never takes the
// activation. All tips share one font. UI thread only.
#pragma once

#include "platform/ui/CFont.h"
#include "platform/ui/CWnd.h"

class CMouseTip : public CWnd {
public:
    CMouseTip() = default;
    ~CMouseTip() override;

    // Makes the (hidden) window once; TRUE when it exists.
    BOOL Create();
    using CWnd::Create;
    // Shows without activating, or hides.
    void Show(bool show);
    // Takes the text, sized to it (6 pixels wider and 4 taller than the
    // text), with its top-left corner at the screen point, moved back inside
    // the virtual screen where it would pass an edge.
    void SetTipText(const CString& text, POINT screen);

    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override { return TRUE; }

    static CFont* TipFont();
};
