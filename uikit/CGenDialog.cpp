#include "uikit/CGenDialog.h"

CGenDialog::CGenDialog(UINT templateId, CWnd* parent, bool withPainter)
    : CDialog(templateId, parent), m_withPainter(withPainter)
{
}

bool CGenDialog::AddItem(int id, CProperty* property)
{
    return m_bindings.Bind(id, property);
}

BOOL CGenDialog::OnInitDialog()
{
    m_bindings.Start(this);
    CDialog::OnInitDialog();
    if (m_withPainter) {
        m_painter = std::make_unique<CDialogPainter>();
        m_painter->Attach(this);
    }
    return TRUE;
}

void CGenDialog::DoDataExchange(CDataExchange* dx)
{
    m_bindings.Exchange(dx);
}

void CGenDialog::OnOK()
{
    CDialog::OnOK();
}

void CGenDialog::OnCancel()
{
    CDialog::OnCancel();
    m_bindings.Restore();
}

BOOL CGenDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    CDlgBindingTable::RouteDoubleClick(this, wParam, lParam);
    return CDialog::OnCommand(wParam, lParam);
}

void CGenDialog::OnDestroy()
{
    m_painter.reset();
    m_bindings.Free();
    CDialog::OnDestroy();
}
