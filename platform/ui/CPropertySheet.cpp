#include "platform/ui/CPropertySheet.h"

#include <algorithm>

#include "platform/ui/SystemMetrics.h"

namespace {
// Room around the tab control and between the buttons.
constexpr int kMargin = 7;
constexpr int kButtonWidth = 75, kButtonHeight = 23, kButtonGap = 6;
}  // namespace

CPropertySheet::CPropertySheet(LPCSTR caption, CWnd* parent, UINT startPage)
    : CDialog(0, parent), m_caption(caption), m_startPage(startPage)
{
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (page)
        m_pages.push_back(page);
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<std::size_t>(index)] : nullptr;
}

BOOL CPropertySheet::CreateDialogWindow(CWnd*)
{
    // The tab control's display area is as large as the largest page's template.
    CSize size(0, 0);
    for (CPropertyPage* page : m_pages) {
        const CRect r = page->TemplatePixelRect();
        size.cx = std::max<LONG>(size.cx, r.Width());
        size.cy = std::max<LONG>(size.cy, r.Height());
    }
    m_active = -1;
    CRect tabRect(0, 0, size.cx, size.cy);
    m_tab.AdjustRect(TRUE, &tabRect);
    tabRect.OffsetRect(kMargin - tabRect.left, kMargin - tabRect.top);
    const int buttonTop = tabRect.bottom + kMargin;
    const int width = std::max<int>(tabRect.right + kMargin, 4 * (kButtonWidth + kButtonGap) + kMargin);
    const CRect rect(0, 0, width, buttonTop + kButtonHeight + kMargin);
    // The border and caption come on top of the client size asked for.
    CRect frame = rect;
    frame.right += 2;
    frame.bottom += 2 + GetSystemMetrics(SM_CYCAPTION);
    if (!CreateEx(0, mvui::DialogClassName(), m_caption, WS_POPUP | WS_CAPTION | WS_SYSMENU, frame, nullptr, 0))
        return FALSE;
    if (!m_tab.Create(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, tabRect, this, AFX_IDC_TAB_CONTROL))
        return FALSE;
    for (CPropertyPage* page : m_pages)
        m_tab.InsertItem(m_tab.GetItemCount(), page->GetCaption());
    struct Spec {
        UINT id;
        const char* text;
        bool wanted;
    } const specs[] = {{IDOK, "OK", true},
                       {IDCANCEL, "Cancel", true},
                       {ID_APPLY_NOW, "&Apply", !(m_psh.dwFlags & PSH_NOAPPLYNOW)},
                       {IDHELP, "Help", (m_psh.dwFlags & PSH_HASHELP) != 0}};
    int count = 0;
    for (const Spec& s : specs)
        count += s.wanted ? 1 : 0;
    int x = tabRect.right - count * kButtonWidth - (count - 1) * kButtonGap;
    int made = 0;
    for (const Spec& s : specs) {
        if (!s.wanted)
            continue;
        const CRect r(x, buttonTop, x + kButtonWidth, buttonTop + kButtonHeight);
        if (!m_buttons[made++].Create(s.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | (s.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                      r, this, s.id))
            return FALSE;
        x += kButtonWidth + kButtonGap;
    }
    return TRUE;
}

BOOL CPropertySheet::OnInitDialog()
{
    if (m_pages.empty())
        return TRUE;
    SetActivePage(static_cast<int>(std::min<std::size_t>(m_startPage, m_pages.size() - 1)));
    return TRUE;
}

BOOL CPropertySheet::SetActivePage(int index)
{
    CPropertyPage* next = GetPage(index);
    if (!next)
        return FALSE;
    if (index == m_active)
        return TRUE;
    // A new page takes the place of the page it replaces, or the tab
    // control's display area.
    CRect place;
    m_tab.GetWindowRect(&place);
    ScreenToClient(&place);
    m_tab.AdjustRect(FALSE, &place);
    if (CPropertyPage* current = GetActivePage(); current && IsWindow(current->m_hWnd)) {
        if (!current->OnKillActive())
            return FALSE;
        current->GetWindowRect(&place);
        ScreenToClient(&place);
        current->ShowWindow(SW_HIDE);
    }
    if (!next->CreatePage(this))
        return FALSE;
    next->SetWindowPos(nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_active = index;
    m_tab.SetCurSel(index);
    next->OnSetActive();
    next->ShowWindow(SW_SHOW);
    return TRUE;
}

BOOL CPropertySheet::ApplyPages()
{
    if (CPropertyPage* current = GetActivePage(); current && IsWindow(current->m_hWnd) && !current->OnKillActive())
        return FALSE;
    for (CPropertyPage* page : m_pages)
        if (IsWindow(page->m_hWnd) && !page->OnApply())
            return FALSE;
    return TRUE;
}

void CPropertySheet::OnOK()
{
    if (ApplyPages())
        EndDialog(IDOK);
}

void CPropertySheet::OnCancel()
{
    for (CPropertyPage* page : m_pages)
        if (IsWindow(page->m_hWnd))
            page->OnReset();
    EndDialog(IDCANCEL);
}

BOOL CPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == ID_APPLY_NOW) {
        ApplyPages();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CPropertySheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == m_tab.m_hWnd && header->code == TCN_SELCHANGE) {
            // A page that refuses to be left keeps its tab selected.
            if (!SetActivePage(m_tab.GetCurSel()))
                m_tab.SetCurSel(m_active);
            *result = 0;
            return TRUE;
        }
    }
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}
