#include "platform/ui/CDocument.h"

#include <algorithm>

#include "platform/ui/CView.h"

CDocument::~CDocument()
{
    for (CView* v : m_views)
        v->m_pDocument = nullptr;
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_modified = FALSE;
    m_path.Empty();
    return TRUE;
}

void CDocument::AddView(CView* view)
{
    if (!view || std::find(m_views.begin(), m_views.end(), view) != m_views.end())
        return;
    if (view->m_pDocument && view->m_pDocument != this)
        view->m_pDocument->RemoveView(view);
    m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view)
{
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    view->m_pDocument = nullptr;
}

void CDocument::UpdateAllViews(CView* sender, LPARAM hint, CObject* object)
{
    // A view may leave the list while it updates: walk a copy and skip the gone.
    const std::vector<CView*> views = m_views;
    for (CView* v : views)
        if (v != sender && std::find(m_views.begin(), m_views.end(), v) != m_views.end())
            v->OnUpdate(sender, hint, object);
}

BOOL CDocument::OnSaveDocument(LPCSTR)
{
    return FALSE;
}
