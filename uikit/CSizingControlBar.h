// A resizable docking bar: it docks in any of the frame's dock bars or
// floats in a mini frame, keeps one size for horizontal docking, one for
// vertical docking and one for floating (each never below its minimum),
// fits itself and its neighbours into their row, lets the user drag its
// inner edges to resize it with its neighbours, and keeps its sizes in the
// profile under "<profile name>-SCBar-<control id>". Dragging the bar
// elsewhere is its dock context's (CDockContextEx). UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CControlBar.h"

class CDockBar;

class CSizingControlBar : public CControlBar {
public:
    CSizingControlBar();

    // barStyle bits.
    static constexpr DWORD SCBS_EDGELEFT = 1, SCBS_EDGERIGHT = 2, SCBS_EDGETOP = 4, SCBS_EDGEBOTTOM = 8,
                           SCBS_EDGEALL = 15, SCBS_SHOWEDGES = 16, SCBS_SIZECHILD = 32;

    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;
    CSize CalcDynamicLayout(int length, DWORD mode) override;
    void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override {}
    void OnBarStyleChange(DWORD oldStyle, DWORD newStyle) override;
    void EnableDocking(DWORD dockStyle) override;

    virtual BOOL Create(LPCSTR title, CWnd* parent, UINT id, DWORD style);
    virtual BOOL Create(LPCSTR title, CWnd* parent, CSize defaultSize, BOOL gripper, UINT id, DWORD style);
    virtual void LoadSizes(LPCSTR profileName);
    virtual void SaveSizes(LPCSTR profileName);
    virtual void BeginEdgeDrag(int hitCode, CPoint screen);
    virtual void EndEdgeDrag();
    virtual void DragEdgeTo(CPoint screen);
    virtual void InvertEdgeTracker();
    virtual void PaintGripper(CDC* dc, const CRect& clientRect) {}
    virtual void ComputeClientRect(CRect& rect, UINT dockBarId);
    virtual void RealignRow();

    // Every sizing bar of the frame reads or writes its sizes.
    static void LoadAllBarStates(CFrameWnd* frame, LPCSTR profileName);
    static void SaveAllBarStates(CFrameWnd* frame, LPCSTR profileName);
    static void SetMaximizeMargins(int horizontal, int vertical);

    BOOL IsHorzDocked() const { return dockBarId == AFX_IDW_DOCKBAR_TOP || dockBarId == AFX_IDW_DOCKBAR_BOTTOM; }
    BOOL IsVertDocked() const { return dockBarId == AFX_IDW_DOCKBAR_LEFT || dockBarId == AFX_IDW_DOCKBAR_RIGHT; }
    BOOL IsFloating() const { return !IsHorzDocked() && !IsVertDocked(); }

    DWORD barStyle = 0;
    int trackEdge = 0;
    CSize sizeHorz{200, 200};
    CSize sizeVert{200, 200};
    CSize sizeFloat{500, 300};
    CSize minHorz{33, 32};
    CSize minVert{33, 32};
    CSize minFloat{37, 32};
    int trackMin = 0, trackMax = 0;
    int trackPos = 0;
    int trackOffset = 0;
    BOOL tracking = FALSE;
    BOOL keepLength = FALSE;
    BOOL dockChanged = FALSE;
    BOOL orientationChanged = FALSE;
    BOOL relayoutPending = FALSE;
    BOOL dragFullWindows = TRUE;
    UINT dockBarId = 0;
    int edgeWidth = 5;

protected:
    CDockContext* CreateDockContext() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    int OnCreate(CREATESTRUCT* cs) override;
    void OnNcPaint() override;
    void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) override;
    LRESULT OnNcHitTest(CPoint screen) override;
    void OnWindowPosChanging(WINDOWPOS* pos) override;
    void OnCaptureChanged(CWnd* newCapture) override;
    void OnSettingChange(UINT flags, LPCSTR section) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnNcLButtonDown(UINT hitCode, CPoint screen) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnSize(UINT type, int cx, int cy) override;

    // The sizing bars of this bar's row, in order, and this bar's place among them.
    std::vector<CSizingControlBar*> RowBars(int* self = nullptr) const;
    // The range of the dock bar's array that holds this bar's row.
    void RowRange(int& first, int& last) const;
    // The length along the row and the thickness across it, in the dock bar's orientation.
    int& Length(BOOL horizontal) { return horizontal ? sizeHorz.cx : sizeVert.cy; }
    int& Thickness(BOOL horizontal) { return horizontal ? sizeHorz.cy : sizeVert.cx; }
    int MinLength(BOOL horizontal) const { return horizontal ? minHorz.cx : minVert.cy; }
    int MinThickness(BOOL horizontal) const { return horizontal ? minHorz.cy : minVert.cx; }

private:
    BOOL FitRow(int available);
    CRect EdgeStrip(int hitCode) const;
    static int s_marginHorz, s_marginVert;
    // The bars an edge drag moves (the dragged bar last), the two-row part.
    std::vector<CSizingControlBar*> m_dragBars;
    std::vector<CSizingControlBar*> m_otherRow;
};
