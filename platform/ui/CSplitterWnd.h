// A static splitter: a grid of panes (at most 16 x 16) separated by bars
// that the user drags to resize rows and columns, with optional shared
// scroll bars: one horizontal bar under each column (child id 0xEA00 +
// column) and one vertical bar beside each row (0xEA10 + row). The panes are
// the splitter's children with ids 0xE900 + row * 16 + column; a pane's
// GetScrollBarCtrl answers with its row's and column's shared bars.
//
// Rows and columns keep an ideal and a minimum size; the layout gives each
// but the last its ideal size (0 when that is below the minimum) and the
// last what remains. A press on a bar tracks it with an inverted line until
// the release, which resizes. Hit codes: 101 + row for the bar below a row,
// 201 + column for the bar right of a column, 301 + row * 15 + column where
// two bars cross. The splitter paints its bars, the borders round the panes
// and the corner square. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/CScrollBar.h"
#include "platform/ui/CWnd.h"

constexpr UINT AFX_IDW_PANE_FIRST = 0xE900, AFX_IDW_HSCROLL_FIRST = 0xEA00,
               AFX_IDW_VSCROLL_FIRST = 0xEA10;

class CSplitterWnd : public CWnd {
public:
    enum HitTestValue {
        noHit = 0,
        vSplitterBox = 1,
        hSplitterBox = 2,
        bothSplitterBox = 3,
        vSplitterBar1 = 101,
        vSplitterBar15 = 115,
        hSplitterBar1 = 201,
        hSplitterBar15 = 215,
        splitterIntersection1 = 301,
        splitterIntersection225 = 525
    };
    enum ESplitType { splitBox, splitBar, splitIntersection, splitBorder };

    CSplitterWnd();
    ~CSplitterWnd() override;

    // WS_HSCROLL and WS_VSCROLL in the style ask for the shared bars.
    BOOL CreateStatic(CWnd* parent, int rows, int columns, DWORD style = WS_CHILD | WS_VISIBLE,
                      UINT id = AFX_IDW_PANE_FIRST);
    // Creates `pane` as the child at (row, column); its size gives the ideal
    // height of the row and width of the column.
    BOOL CreateView(int row, int column, CWnd* pane, SIZE size);

    int GetRowCount() const { return static_cast<int>(m_rows.size()); }
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    CWnd* GetPane(int row, int column) const;
    int IdFromRowCol(int row, int column) const { return static_cast<int>(AFX_IDW_PANE_FIRST) + row * 16 + column; }
    BOOL IsChildPane(const CWnd* wnd, int* row, int* column) const;
    void SetRowInfo(int row, int ideal, int minimum);
    void GetRowInfo(int row, int& current, int& minimum) const;
    void SetColumnInfo(int column, int ideal, int minimum);
    void GetColumnInfo(int column, int& current, int& minimum) const;
    // The shared bar of the pane's row (SB_VERT) or column (SB_HORZ); null
    // when the splitter has none or the window is not its pane.
    CScrollBar* GetPaneScrollBar(const CWnd* pane, int bar) const;

    virtual void RecalcLayout();
    // Scrolls a pane by a packed code (horizontal code in the low byte,
    // vertical in the high byte, 0xFF for none) and the other panes of its
    // row and column with it.
    virtual BOOL DoScroll(CWnd* paneFrom, UINT scrollCode, BOOL doScroll);
    virtual void GetInsideRect(CRect& rect) const;
    virtual int HitTest(CPoint point) const;

protected:
    struct CRowColInfo {
        int nMinSize = 0;
        int nIdealSize = 0;
        int nCurSize = 0;
    };

    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    virtual void DrawAllSplitBars(CDC* dc, int cxInside, int cyInside);
    virtual void OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect);
    virtual void OnInvertTracker(const CRect& rect);
    virtual void StartTracking(int hit);
    virtual void StopTracking(BOOL accept);
    virtual void TrackRowSize(int y, int row);
    virtual void TrackColumnSize(int x, int column);
    virtual void SetSplitCursor(int hit);
    // Hands a pane the scroll messages of a packed code; TRUE when one was sent.
    virtual BOOL ScrollPane(CWnd* pane, UINT scrollCode, BOOL doScroll);
    // The rectangle a bar occupies, for hit codes 101-115 and 201-215.
    CRect BarRect(int hit) const;
    CScrollBar* SharedBar(int bar, int index) const;
    void TrackerLimits(int hit, CRect& limit) const;

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitCode, UINT message) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnCancelMode() override;
    void OnCaptureChanged(CWnd* newCapture) override;

    int m_cxSplitter = 3, m_cySplitter = 3;        // the bar drawn between panes
    int m_cxSplitterGap = 7, m_cySplitterGap = 7;  // the space between panes
    int m_cxBorder = 2, m_cyBorder = 2;            // the border round each pane
    BOOL m_bHasHScroll = FALSE, m_bHasVScroll = FALSE;
    std::vector<CRowColInfo> m_rows, m_columns;
    BOOL m_bTracking = FALSE, m_bTracking2 = FALSE;
    int m_htTrack = noHit;
    CRect m_rectLimit, m_rectTracker, m_rectTracker2;
    CPoint m_ptTrackOffset;

private:
    std::vector<std::unique_ptr<CScrollBar>> m_hBars, m_vBars;
};
