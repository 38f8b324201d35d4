// The tab control ("SysTabControl32") of property sheets: a row of labelled
// tabs over a framed display area. A click on a tab selects it and tells the
// parent WM_NOTIFY with TCN_SELCHANGE (an NMHDR naming the control). UI
// thread only.
#pragma once

#include <vector>

#include "platform/ui/CControlWnd.h"

constexpr UINT TCN_SELCHANGE = static_cast<UINT>(-551), TCN_SELCHANGING = static_cast<UINT>(-552);

class CTabCtrl : public CControlWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int InsertItem(int index, LPCSTR text);
    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    int GetCurSel() const { return m_current; }
    // Selects without telling the parent; the previous selection or -1.
    int SetCurSel(int index);
    // larger: the window rectangle that shows a display area `rect`;
    // otherwise the display area of a window rectangle `rect`.
    void AdjustRect(BOOL larger, LPRECT rect) const;
    // The rectangle of tab `index` in client coordinates.
    BOOL GetItemRect(int index, LPRECT rect) const;

    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;

private:
    int TabHeight() const;

    std::vector<CString> m_items;
    int m_current = -1;
};
