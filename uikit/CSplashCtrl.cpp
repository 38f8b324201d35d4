#include "uikit/CSplashCtrl.h"

#include "platform/ui/CDC.h"
#include "platform/ui/CProgressCtrl.h"
#include "platform/ui/SystemMetrics.h"

CSplashCtrl::~CSplashCtrl()
{
    if (IsWindow(m_hWnd))
        DestroyWindow();
}

bool CSplashCtrl::ShowSplash(UINT templateId, UINT statusId, UINT progressId, UINT secondId)
{
    m_templateId = templateId;
    m_statusId = statusId;
    m_progressId = progressId;
    m_secondId = secondId;
    m_statusColour = GetSysColor(COLOR_WINDOWTEXT);
    m_secondColour = GetSysColor(COLOR_WINDOWTEXT);
    return CreateSplashWindow();
}

bool CSplashCtrl::CreateSplashWindow()
{
    if (m_templateId == 0 || IsWindow(m_hWnd) || !Create(m_templateId, nullptr))
        return false;
    SetWindowPos(&wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetTimer(kTimerId, kTopmostMs);
    ShowWindow(SW_SHOW);
    UpdateWindow();
    return true;
}

void CSplashCtrl::Close()
{
    if (IsWindow(m_hWnd))
        DestroyWindow();
}

void CSplashCtrl::OnCancel()
{
    Close();
}

void CSplashCtrl::OnTimer(UINT_PTR id)
{
    if (id != kTimerId) {
        CDialog::OnTimer(id);
        return;
    }
    // After its time on top the splash stops covering other windows.
    SetWindowPos(&wndBottom, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    KillTimer(kTimerId);
}

bool CSplashCtrl::PumpAndCheckAlive()
{
    if (!IsWindow(m_hWnd))
        return false;
    mvui::PumpMessages();
    if (IsWindow(m_hWnd) && GetKeyState(VK_CONTROL) < 0)
        DestroyWindow();
    return IsWindow(m_hWnd);
}

void CSplashCtrl::ReplaceText(UINT id, const CString& text)
{
    CWnd* line = id ? GetDlgItem(static_cast<int>(id)) : nullptr;
    if (!line)
        return;
    // Cleared and repainted first, so nothing of the old text stays on the picture.
    line->SetWindowText("");
    CRect r;
    line->GetWindowRect(&r);
    ScreenToClient(&r);
    InvalidateRect(&r);
    UpdateWindow();
    line->Invalidate();
    line->UpdateWindow();
    line->SetWindowText(text);
    line->Invalidate();
    line->UpdateWindow();
}

void CSplashCtrl::SetStatusText(const CString& text)
{
    if (PumpAndCheckAlive())
        ReplaceText(m_statusId, text);
}

void CSplashCtrl::SetSecondText(const CString& text)
{
    if (PumpAndCheckAlive())
        ReplaceText(m_secondId, text);
}

IProgress* CSplashCtrl::GetProgressInterface()
{
    return PumpAndCheckAlive() && m_progressId ? static_cast<IProgress*>(this) : nullptr;
}

CWnd* CSplashCtrl::ProgressBar() const
{
    return m_progressId ? GetDlgItem(static_cast<int>(m_progressId)) : nullptr;
}

void CSplashCtrl::SetStatusText(const char* text)
{
    if (GetProgressInterface())
        SetStatusText(CString(text));
}

void CSplashCtrl::SetRange(int lower, int upper)
{
    if (!PumpAndCheckAlive())
        return;
    if (CWnd* bar = ProgressBar()) {
        bar->SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

void CSplashCtrl::SetPos(int pos)
{
    if (!PumpAndCheckAlive())
        return;
    if (CWnd* bar = ProgressBar()) {
        bar->SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos));
        m_lastPos = static_cast<int>(bar->SendMessage(PBM_GETPOS));
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

BOOL CSplashCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_CTLCOLORSTATIC) {
        // Both lines stand on the splash picture: no background of their own.
        auto* dc = reinterpret_cast<CDC*>(wParam);
        const UINT id = CWnd::FromHandle(reinterpret_cast<HWND>(lParam)) ? GetWindowLongPtrA(reinterpret_cast<HWND>(lParam), GWL_ID) : 0;
        if (dc && id && (id == m_statusId || id == m_secondId)) {
            if (!m_hollow.IsCreated())
                m_hollow.CreateNullBrush();
            if (id == m_secondId) {
                if (!m_secondFont.IsCreated())
                    m_secondFont.CreatePointFont(180, "Tahoma");
                dc->SelectObject(&m_secondFont);
            }
            dc->SetTextColor(id == m_statusId ? m_statusColour : m_secondColour);
            dc->SetBkMode(TRANSPARENT);
            *result = reinterpret_cast<LRESULT>(&m_hollow);
            return TRUE;
        }
    }
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}
