#include "platform/ui/CPropertySheet.h"

namespace {
// Room around the pages.
constexpr int kMargin = 7;
}

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
    // As large as the largest page's template.
    CSize size(0, 0);
    for (CPropertyPage* page : m_pages) {
        const CRect r = page->TemplatePixelRect();
        size.cx = std::max<LONG>(size.cx, r.Width());
        size.cy = std::max<LONG>(size.cy, r.Height());
    }
    const CRect rect(0, 0, size.cx + 2 * kMargin, size.cy + 2 * kMargin);
    return CreateEx(0, nullptr, m_caption, WS_POPUP | WS_CAPTION | WS_SYSMENU, rect, nullptr, 0);
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
    if (CPropertyPage* current = GetActivePage(); current && IsWindow(current->m_hWnd)) {
        if (!current->OnKillActive())
            return FALSE;
        current->ShowWindow(SW_HIDE);
    }
    if (!next->CreatePage(this))
        return FALSE;
    next->SetWindowPos(nullptr, kMargin, kMargin, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_active = index;
    next->OnSetActive();
    next->ShowWindow(SW_SHOW);
    return TRUE;
}

void CPropertySheet::OnOK()
{
    if (CPropertyPage* current = GetActivePage(); current && IsWindow(current->m_hWnd) && !current->OnKillActive())
        return;
    for (CPropertyPage* page : m_pages)
        if (IsWindow(page->m_hWnd) && !page->OnApply())
            return;
    EndDialog(IDOK);
}

void CPropertySheet::OnCancel()
{
    for (CPropertyPage* page : m_pages)
        if (IsWindow(page->m_hWnd))
            page->OnReset();
    EndDialog(IDCANCEL);
}
