#include "platform/ui/CDialog.h"

#include <QEventLoop>
#include <cstring>

#include "platform/ui/CButton.h"
#include "platform/ui/CComboBox.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CEdit.h"
#include "platform/ui/CListBox.h"
#include "platform/ui/CProgressCtrl.h"
#include "platform/ui/CSliderCtrl.h"
#include "platform/ui/CStatic.h"
#include "platform/ui/CTabCtrl.h"
#include "platform/ui/CWinApp.h"
#include "platform/win/MulDiv.h"

namespace {

std::map<UINT, DialogTemplate>& Templates()
{
    static std::map<UINT, DialogTemplate> t;
    return t;
}

mvui::ModalHook g_hook = nullptr;
void* g_hookContext = nullptr;

// The dialog font's average character width and height: the dialog base units.
CSize BaseUnits(const DialogTemplate& t)
{
    CFont font;
    font.CreatePointFont(t.pointSize * 10, t.fontFace);
    CDC dc;
    dc.CreateDC("DISPLAY");
    dc.SelectObject(&font);
    const CSize letters = dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    TEXTMETRIC tm{};
    dc.GetTextMetrics(&tm);
    return CSize((letters.cx / 26 + 1) / 2, tm.tmHeight);
}

}  // namespace

namespace mvui {

void RegisterDialogTemplate(UINT id, const DialogTemplate& t)
{
    Templates()[id] = t;
}

namespace {
CControlWnd* NewControl(const char* className)
{
    const CString name(className);
    if (name.CompareNoCase("Button") == 0) return new CButton;
    if (name.CompareNoCase("Edit") == 0) return new CEdit;
    if (name.CompareNoCase("Static") == 0) return new CStatic;
    if (name.CompareNoCase("msctls_trackbar32") == 0) return new CSliderCtrl;
    if (name.CompareNoCase("msctls_progress32") == 0) return new CProgressCtrl;
    if (name.CompareNoCase("SysTabControl32") == 0) return new CTabCtrl;
    if (name.CompareNoCase("ListBox") == 0) return new CListBox;
    if (name.CompareNoCase("ComboBox") == 0) return new CComboBox;
    return nullptr;
}
}  // namespace

const char* DialogClassName()
{
    static const bool registered = [] {
        WNDCLASSA wc{CS_DBLCLKS, nullptr, COLOR_BTNFACE + 1, "#32770"};
        AfxRegisterClass(&wc);
        return true;
    }();
    (void)registered;
    return "#32770";
}

bool IsDialogControlClass(const char* className)
{
    CControlWnd* probe = NewControl(className);
    delete probe;
    return probe != nullptr;
}

CWnd* CreateDialogControl(const DialogControl& c, const CRect& rect, CWnd* parent)
{
    CControlWnd* control = NewControl(c.className);
    if (!control)
        return nullptr;
    if (!control->CreateControl(c.className, c.text, c.style | WS_CHILD, rect, parent,
                                static_cast<UINT>(c.id), c.exStyle)) {
        delete control;
        return nullptr;
    }
    control->SetAutoDelete(true);
    return control;
}

void SetModalHook(ModalHook hook, void* context)
{
    g_hook = hook;
    g_hookContext = context;
}

}  // namespace mvui

const DialogTemplate* FindDialogTemplate(UINT id)
{
    auto it = Templates().find(id);
    return it == Templates().end() ? nullptr : &it->second;
}

CRect CDialog::TemplatePixelRect() const
{
    const DialogTemplate* t = FindDialogTemplate(m_templateId);
    if (!t)
        return CRect();
    const CSize units = BaseUnits(*t);
    const CRect& r = t->rect;
    return CRect(MulDiv(r.left, units.cx, 4), MulDiv(r.top, units.cy, 8), MulDiv(r.right, units.cx, 4),
                 MulDiv(r.bottom, units.cy, 8));
}

BOOL CDialog::CreateDialogWindow(CWnd* parent)
{
    const DialogTemplate* t = FindDialogTemplate(m_templateId);
    if (!t)
        return FALSE;
    m_baseUnits = BaseUnits(*t);
    CRect r = t->rect;
    MapDialogRect(&r);
    DWORD style = t->style & ~WS_VISIBLE;
    if (parent)
        style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU)) | WS_CHILD;
    if (!CreateEx(t->exStyle, mvui::DialogClassName(), t->caption, style, r, parent, 0))
        return FALSE;
    for (const DialogControl& c : t->controls) {
        CRect cr = c.rect;
        MapDialogRect(&cr);
        if (!mvui::CreateDialogControl(c, cr, this)) {
            DestroyWindow();
            return FALSE;
        }
    }
    return TRUE;
}

void CDataExchange::Fail()
{
    m_failed = true;
    CWnd* control = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(m_idLastControl) : nullptr;
    if (!control)
        return;
    control->SetFocus();
    if (m_editLastControl)
        control->SendMessage(EM_SETSEL, 0, -1);
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    m_parent = parent;
    m_modal = false;
    m_ended = false;
    if (!CreateDialogWindow(nullptr))
        return FALSE;
    SendMessage(WM_INITDIALOG);
    if (IsWindow(m_hWnd) && (FindDialogTemplate(templateId)->style & WS_VISIBLE))
        ShowWindow(SW_SHOW);
    return IsWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    CWnd* owner = m_parent ? m_parent : AfxGetMainWnd();
    const HWND ownerHandle = owner ? owner->m_hWnd : nullptr;
    if (!CreateDialogWindow(nullptr))
        return -1;
    m_modal = true;
    m_ended = false;
    m_result = IDCANCEL;
    const bool ownerWasEnabled = IsWindow(ownerHandle) && owner->IsWindowEnabled();
    if (ownerWasEnabled)
        owner->EnableWindow(FALSE);
    const HWND self = m_hWnd;
    SendMessage(WM_INITDIALOG);
    if (IsWindow(self) && !m_ended) {
        ShowWindow(SW_SHOW);
        SetForegroundWindow();
        QEventLoop loop;
        m_loop = &loop;
        if (g_hook)
            g_hook(this, g_hookContext);
        if (!m_ended && IsWindow(self))
            loop.exec();
        m_loop = nullptr;
    }
    if (ownerWasEnabled && IsWindow(ownerHandle))
        owner->EnableWindow(TRUE);
    m_modal = false;
    if (IsWindow(self))
        DestroyWindow();
    return m_result;
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    if (m_loop)
        static_cast<QEventLoop*>(m_loop)->quit();
    else if (!m_modal)
        ShowWindow(SW_HIDE);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_failed;
}

void CDialog::MapDialogRect(LPRECT rect) const
{
    if (!rect)
        return;
    rect->left = MulDiv(rect->left, m_baseUnits.cx, 4);
    rect->right = MulDiv(rect->right, m_baseUnits.cx, 4);
    rect->top = MulDiv(rect->top, m_baseUnits.cy, 8);
    rect->bottom = MulDiv(rect->bottom, m_baseUnits.cy, 8);
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        // A control that wants every key (a dropped list) takes Enter and Escape itself.
        if (CWnd* target = CWnd::FromHandle(msg->hwnd);
            target && target != this && (target->SendMessage(WM_GETDLGCODE, msg->wParam, 0) & DLGC_WANTALLKEYS))
            return CWnd::PreTranslateMessage(msg);
        SendMessage(WM_COMMAND, MAKEWPARAM(msg->wParam == VK_RETURN ? IDOK : IDCANCEL, 0), 0);
        return TRUE;
    }
    return CWnd::PreTranslateMessage(msg);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDOK: OnOK(); return TRUE;
    case IDCANCEL: OnCancel(); return TRUE;
    default: return CWnd::OnCommand(wParam, lParam);
    }
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return TRUE;
    }
    if (message == WM_DESTROY && m_loop) {
        // A dialog that goes while its loop runs ends the loop with it.
        m_ended = true;
        static_cast<QEventLoop*>(m_loop)->quit();
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CDialog::OnClose()
{
    SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}
