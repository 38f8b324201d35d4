#include "uikit/CGenPropertySheet.h"

#include <algorithm>

CGenPropertySheet::CGenPropertySheet(LPCSTR caption, CWnd* parent, UINT firstPage)
    : CPropertySheet(caption ? caption : "", parent, firstPage)
{
    m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
}

BOOL CGenPropertySheet::OnInitDialog()
{
    const BOOL result = CPropertySheet::OnInitDialog();
    Layout();
    m_painter = std::make_unique<CDialogPainter>();
    m_painter->Attach(this);
    return result;
}

void CGenPropertySheet::Layout()
{
    CPropertyPage* page = GetActivePage();
    CTabCtrl* tab = GetTabControl();
    if (!page || !IsWindow(page->m_hWnd) || !IsWindow(tab->m_hWnd))
        return;
    const int hGap = m_baseUnits.cx;      // 4 horizontal dialog units
    const int vGap = m_baseUnits.cy / 2;  // 4 vertical dialog units
    auto clientRectOf = [this](CWnd* w) {
        CRect r;
        w->GetWindowRect(&r);
        ScreenToClient(&r);
        return r;
    };
    CRect sheet;
    GetWindowRect(&sheet);
    CRect pageRect = clientRectOf(page);
    CRect tabRect = clientRectOf(tab);

    if (GetPageCount() == 1) {
        const int up = pageRect.top - tabRect.top;
        tabRect = CRect(tabRect.left, tabRect.top, tabRect.left, tabRect.top);
        tab->ShowWindow(SW_HIDE);
        pageRect.OffsetRect(0, -up);
        sheet.bottom -= up;
        if (GetWindowText().IsEmpty())
            SetWindowText(page->GetCaption());
    }
    if (GetExStyle() & WS_EX_TOOLWINDOW) {
        // The outermost of the two goes to (1, 1), the other keeps its place on it.
        const CRect& outer = GetPageCount() != 1 ? tabRect : pageRect;
        const CPoint offset(outer.left - 1, outer.top - 1);
        pageRect.OffsetRect(-offset.x, -offset.y);
        tabRect.OffsetRect(-offset.x, -offset.y);
        sheet.right -= offset.x;
        sheet.bottom -= offset.y;
    } else {
        CRect both;
        both.UnionRect(pageRect, tabRect);
        const int left = both.right + hGap;
        int top = both.top;
        int right = left;
        int tallest = 0;
        for (const int id : {IDOK, IDCANCEL, IDHELP}) {
            CWnd* button = GetDlgItem(id);
            if (!button)
                continue;
            CRect r = clientRectOf(button);
            button->MoveWindow(left, top, r.Width(), r.Height());
            top += r.Height() + vGap;
            right = std::max<int>(right, left + r.Width());
            tallest = std::max<int>(tallest, r.Height());
        }
        CRect client;
        GetClientRect(&client);
        const int frameWidth = sheet.Width() - client.Width();
        sheet.right = sheet.left + right + pageRect.left + frameWidth;
        sheet.bottom -= tallest + vGap;
    }
    if (CWnd* apply = GetDlgItem(ID_APPLY_NOW))
        apply->SetWindowText("");
    tab->MoveWindow(&tabRect);
    page->MoveWindow(&pageRect);
    SetWindowPos(nullptr, sheet.left, sheet.top, sheet.Width(), sheet.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CGenPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL)
        SetStartPage(static_cast<UINT>(std::max(0, GetActiveIndex())));
    return CPropertySheet::OnCommand(wParam, lParam);
}

void CGenPropertySheet::OnDestroy()
{
    m_painter.reset();
    CPropertySheet::OnDestroy();
}
