// A scroll manager: the scroll position, page, total extent and zoom of one
// axis, shared by the windows that scroll together on it (a ruler, a track
// list, an editing pane). Views keep no scroll state of their own: they hand
// their scroll-bar messages and size changes to their managers, convert
// between pixels and model units through them and are repainted by them.
//
// The set of attached windows never owns them; a window detaches itself
// before it goes. UI thread only.
#pragma once

#include <set>

#include "platform/ui/CWnd.h"

class CScrollMgr {
public:
    CScrollMgr() = default;
    virtual ~CScrollMgr();
    CScrollMgr(const CScrollMgr&) = delete;
    CScrollMgr& operator=(const CScrollMgr&) = delete;

    // 1 when the window was attached already (nothing changes), else 0.
    virtual int Attach(CWnd* wnd);
    // E_UNEXPECTED when the window is not attached.
    virtual HRESULT Detach(CWnd* wnd);
    virtual void SetZoom(float zoom) = 0;
    virtual void SetZoomKeepEnd(float zoom) = 0;
    // Zooms keeping `anchor` (model units) at `fraction` of the page.
    virtual void SetZoomAround(float zoom, int anchor, float fraction, BOOL update) = 0;
    virtual void ZoomIn() = 0;
    virtual void ZoomOut() = 0;
    virtual BOOL CanZoomIn() = 0;
    virtual BOOL CanZoomOut() = 0;
    virtual double GetZoom() = 0;
    virtual double GetMinZoom() = 0;
    virtual int GetMaxZoom() = 0;
    virtual void SetKeepInRange(int keep) = 0;
    // The zoom at which `total` units fill the page, never above the maximum zoom.
    virtual double GetFitZoom(int total) = 0;
    // Repaints every attached window at once.
    virtual void RedrawAll();
    virtual int UnitsToPixels(int units) = 0;
    virtual int PixelsToUnits(int pixels) = 0;

    int GetPosition() const { return m_position; }
    bool IsAttached(CWnd* wnd) const { return m_windows.count(wnd) != 0; }
    std::size_t GetWindowCount() const { return m_windows.size(); }

protected:
    // Moves the position by a scroll code: lines by `line`, pages by
    // `stepPage` while `testPage` still fits before the total; codes above
    // SB_BOTTOM change nothing.
    void ApplyScrollCode(BYTE code, int thumb, int line, int testPage, int stepPage, int total);

    std::set<CWnd*> m_windows;
    int m_position = 0;  // first visible unit
};

namespace mvscroll {
// A model-unit or pixel result, truncated toward zero and kept in the int range.
int ToInt(long double value);
}
