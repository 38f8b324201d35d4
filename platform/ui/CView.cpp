#include "platform/ui/CView.h"

#include "platform/ui/CDC.h"
#include "platform/ui/CDocument.h"

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

void CView::OnPaint()
{
    CPaintDC dc(this);
    OnDraw(&dc);
}

BOOL CView::OnCmdMsg(UINT id, int code, void* extra)
{
    if (CWnd::OnCmdMsg(id, code, extra))
        return TRUE;
    return m_pDocument && m_pDocument->OnCmdMsg(id, code, extra);
}
