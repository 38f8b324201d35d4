// A self-drawn scroll bar that behaves towards its parent like a standard
// scroll-bar control (it answers the SBM_ messages from its own SCROLLINFO
// and sends WM_HSCROLL / WM_VSCROLL with MAKEWPARAM(code, position) and its
// handle) and adds a zoom handle in the middle of its thumb: dragging the
// handle across the bar zooms the target scroll manager around a fixed
// anchor, dragging it along the bar scrolls. A zoom drag hides the pointer
// and is bracketed by the registered messages "OurScrollBar_ZoomModeOn"
// (wParam: the bar's IZoomTime) and "OurScrollBar_ZoomModeOff", sent to the
// parent in pairs, also when the capture is lost.
//
// A press on the track pages and one on an end button steps a line, at once,
// again after 500 ms and then every 100 ms while the pointer stays on that
// part; with the page larger than the range the buttons do nothing. Every
// press turns the target's keep-in-range on, every release off.
//
// The drawing is left to the derived class (COurFlatScrollBar). UI thread only.
#pragma once

#include "platform/ui/CBitmap.h"
#include "platform/ui/CScrollBar.h"
#include "uikit/IZoomTime.h"

class CScrollMgr;

class COurScrollBar : public CScrollBar, public IZoomTime {
public:
    enum Part { kNowhere = 0, kThumb = 1, kTrack = 2, kButton = 3, kVerticalHandle = 4, kHorizontalHandle = 5 };
    enum State { kIdle = 0, kThumbDrag = 1, kRepeating = 2, kVerticalZoom = 7, kHorizontalZoom = 8 };
    static constexpr UINT_PTR kPageTimer = 555, kLineTimer = 556;

    // Creates the window at once (child, visible, empty rectangle); orientation 0 horizontal, 1 vertical.
    COurScrollBar(CWnd* parent, int orientation, UINT id);
    ~COurScrollBar() override;

    void SetZoomBitmaps(UINT firstButtonId, UINT secondButtonId);
    // The owner's setters: the manager driven, the zoom handle, the grip and the colours.
    void SetTarget(CScrollMgr* target) { m_target = target; }
    void EnableZoomHandles(BOOL on);
    void SetGripBitmap(UINT id);
    void SetColors(COLORREF thumb, COLORREF background, COLORREF frame);
    int GetState() const { return m_state; }

    int GetZoomTarget() override { return m_zoomAnchor; }
    int IsZoomEnabled() override { return m_orientation == 0; }

    static UINT ZoomModeOnMessage();
    static UINT ZoomModeOffMessage();

    virtual void DrawBackground(CDC* dc) = 0;
    virtual void DrawThumb(CDC* dc) = 0;
    virtual void DrawButtons(CDC* dc) = 0;
    virtual void GetThumbRect(RECT* rect);
    virtual void GetFirstButtonRect(RECT* rect);
    virtual void GetSecondButtonRect(RECT* rect);
    virtual void GetLeadingHandleRect(RECT* rect);
    virtual void GetTrailingHandleRect(RECT* rect);
    virtual void GetCentreHandleRect(RECT* out, const RECT* thumb);
    virtual void GetTrackRect(RECT* rect);
    virtual CRect GetMonitorRect(POINT point);
    virtual int HitTest(UINT flags, int x, int y);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitCode, UINT message) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
    void OnCaptureChanged(CWnd* newCapture) override;

    // Along and across the bar, in client coordinates.
    int Along(POINT p) const { return m_orientation ? p.y : p.x; }
    int Across(POINT p) const { return m_orientation ? p.x : p.y; }
    int GripLength() const;
    int ThumbLength();
    CPoint ThumbCentre();
    BOOL PageStep(CPoint point);
    BOOL LineStep(CPoint point);
    void Notify(UINT code, int position);
    void ComputeZoomAnchor();
    void ZoomDrag(CPoint point);
    void EndZoomMode();
    void Redraw();

    CRect m_client;
    SCROLLINFO m_si{0, 0, 0, 0, 0, 0, 0};
    BOOL m_zoomHandles = FALSE;
    CBitmap m_grip, m_firstButton, m_secondButton;
    CWnd* m_parent;
    int m_orientation;
    int m_dragOffset = 0;
    double m_zoomFraction = 0;
    int m_zoomAnchor = 0;
    CPoint m_lastPoint{-1, -1};
    int m_state = kIdle;
    COLORREF m_thumbColor = 0x008000, m_backgroundColor = 0, m_frameColor = 0;
    CScrollMgr* m_target = nullptr;
    bool m_pointerHidden = false;
};
