#include "uikit/CDialogPainter.h"

#include <cstring>

#include "platform/ui/CDC.h"
#include "platform/ui/CPropertyPage.h"
#include "platform/ui/CStatic.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CBaseApp.h"
#include "uikit/DrawHelpers.h"

int CDialogPainter::s_noCaptionDraw = 0;
WNDPROC CDialogPainter::s_labelProc = nullptr;

namespace {
constexpr int kBottomStrip = 10;

bool IsStaticWithoutId(CWnd* w)
{
    return w && w->GetClassName().CompareNoCase("Static") == 0 && w->GetDlgCtrlID() == static_cast<UINT>(-1);
}
}  // namespace

void CDialogPainter::Attach(CWnd* dialog)
{
    if (!dialog || !IsWindow(dialog->m_hWnd))
        return;
    m_dialog = dialog;
    m_toolWindow = (dialog->GetExStyle() & WS_EX_TOOLWINDOW) != 0;
    if (!IsHooked())
        HookWindow(dialog);
    if (!m_toolWindow) {
        if (auto* app = dynamic_cast<CBaseApp*>(AfxGetApp()))
            s_noCaptionDraw = static_cast<int>(app->GetProfileInt("NoCaptionDraw", 1));
        if (s_noCaptionDraw == 0)
            dialog->ModifyStyle(WS_SYSMENU, 0);  // the painter draws its own close button
    }
    // Section headers: a plain label and an etched rule, both without id,
    // side by side in the child order.
    for (CWnd* child = dialog->GetWindow(GW_CHILD); child;) {
        CWnd* next = child->GetWindow(GW_HWNDNEXT);
        if (!IsStaticWithoutId(child) || !IsStaticWithoutId(next)) {
            child = next;
            continue;
        }
        const DWORD a = child->GetStyle() & SS_TYPEMASK, b = next->GetStyle() & SS_TYPEMASK;
        CWnd* label = a == SS_LEFT && b == SS_ETCHEDHORZ ? child : b == SS_LEFT && a == SS_ETCHEDHORZ ? next : nullptr;
        if (!label) {
            child = next;
            continue;
        }
        CWnd* rule = label == child ? next : child;
        CRect labelRect, ruleRect;
        label->GetWindowRect(&labelRect);
        rule->GetWindowRect(&ruleRect);
        dialog->ScreenToClient(&labelRect);
        dialog->ScreenToClient(&ruleRect);
        labelRect.right = ruleRect.right;
        labelRect.InflateRect(2, 1, 1, 1);
        label->MoveWindow(&labelRect);
        const auto previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(label->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HeaderProc)));
        if (previous != &HeaderProc)
            s_labelProc = previous;
        rule->ShowWindow(SW_HIDE);
        label->Invalidate();
        child = next->GetWindow(GW_HWNDNEXT);
    }
}

LRESULT CDialogPainter::HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* label = CWnd::FromHandle(hwnd);
    if (message != WM_PAINT || !label)
        return CallWindowProcA(s_labelProc, hwnd, message, wParam, lParam);
    CPaintDC dc(label);
    CRect r;
    label->GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_ACTIVECAPTION));
    dc.Draw3dRect(&r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    CString text = label->GetWindowText();
    if (text.GetLength() > 256)
        text = text.Left(256);
    if (CBaseApp::s_fontBold.IsCreated())
        dc.SelectObject(&CBaseApp::s_fontBold);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_CAPTIONTEXT));
    CRect textRect(r.left + 15, r.top + 1, r.right, r.bottom);
    dc.DrawText(text, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    return 0;
}

bool CDialogPainter::IsPropertyPage() const
{
    return dynamic_cast<CPropertyPage*>(m_dialog) != nullptr;
}

CRect CDialogPainter::CloseButtonRect() const
{
    CRect window;
    if (m_dialog)
        m_dialog->GetWindowRect(&window);
    const int right = window.Width() - GetSystemMetrics(SM_CXDLGFRAME) - 2;
    const int top = GetSystemMetrics(SM_CYDLGFRAME) + 2;
    return CRect(right - (GetSystemMetrics(SM_CXSIZE) - 2), top, right, top + GetSystemMetrics(SM_CYSIZE) - 4);
}

bool CDialogPainter::CursorOverClose(LPARAM clientPoint) const
{
    CPoint p(clientPoint);
    m_dialog->ClientToScreen(&p);
    CRect window;
    m_dialog->GetWindowRect(&window);
    p.Offset(-window.left, -window.top);
    return CloseButtonRect().PtInRect(p) != 0;
}

LRESULT CDialogPainter::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_dialog)
        return CSubclassWnd::WindowProc(message, wParam, lParam);
    if (m_toolWindow) {
        if (message == WM_ERASEBKGND) {
            EraseBackground(reinterpret_cast<CDC*>(wParam));
            return 1;
        }
        return Default();
    }
    const bool page = IsPropertyPage();
    switch (message) {
    case WM_SIZE:
        m_dialog->Invalidate();
        return Default();
    case WM_ERASEBKGND:
        if (page)
            return Default();
        EraseBackground(reinterpret_cast<CDC*>(wParam));
        return 1;
    case WM_NCHITTEST: {
        if (page)
            return Default();
        CPoint p(lParam);
        CRect window;
        m_dialog->GetWindowRect(&window);
        p.Offset(-window.left, -window.top);
        return CloseButtonRect().PtInRect(p) ? HTSYSMENU : Default();
    }
    case WM_NCPAINT:
        if (s_noCaptionDraw != 0 || page)
            return Default();
        PaintNonClient();
        return 0;
    case WM_NCACTIVATE: {
        if (page)
            return Default();
        // The system keeps its activation state but paints nothing; the
        // painter paints the frame afterwards.
        const DWORD style = m_dialog->GetStyle();
        SetWindowLongPtrA(m_dialog->m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(style & ~WS_VISIBLE));
        CSubclassWnd::WindowProc(WM_NCACTIVATE, m_dialog->IsWindowEnabled() ? wParam : FALSE, lParam);
        SetWindowLongPtrA(m_dialog->m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(style));
        m_dialog->SendMessage(WM_NCPAINT, 1);
        return 1;
    }
    case WM_NCLBUTTONDOWN:
        if (page || wParam != HTSYSMENU)
            return Default();
        m_closeTracking = true;
        m_closePressed = true;
        m_dialog->SetCapture();
        if (s_noCaptionDraw == 0) {
            CWindowDC dc(m_dialog);
            DrawCloseButton(dc);
        }
        return 0;
    case WM_MOUSEMOVE: {
        if (!m_closeTracking)
            return Default();
        if (CWnd::GetCapture() != m_dialog) {
            m_closeTracking = false;
            m_closePressed = false;
            m_dialog->SendMessage(WM_NCPAINT, 1);
            return 0;
        }
        const bool over = CursorOverClose(lParam);
        if (over != m_closePressed) {
            m_closePressed = over;
            if (s_noCaptionDraw == 0) {
                CWindowDC dc(m_dialog);
                DrawCloseButton(dc);
            }
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        if (!m_closeTracking)
            return Default();
        const HWND self = m_dialog->m_hWnd;
        m_closeTracking = false;
        ReleaseCapture();
        if (!IsWindow(self) || !CursorOverClose(lParam))
            return 0;
        m_closePressed = false;
        if (s_noCaptionDraw == 0) {
            CWindowDC dc(m_dialog);
            DrawCloseButton(dc);
        }
        m_dialog->SendMessage(WM_CLOSE);
        return 0;
    }
    default:
        return Default();
    }
}

void CDialogPainter::EraseBackground(CDC* given)
{
    CClientDC own(m_dialog);
    CDC* dc = given ? given : &own;
    CRect r;
    m_dialog->GetClientRect(&r);
    CRect face = r;
    face.bottom = std::max(r.top, r.bottom - kBottomStrip);
    dc->FillSolidRect(&face, GetSysColor(COLOR_BTNFACE));
    const CRect strip(r.left, face.bottom, r.right, r.bottom);
    FillVerticalGradient(dc, strip, GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE));
}

void CDialogPainter::DrawCloseButton(CDC& dc)
{
    CRect r = CloseButtonRect();
    dc.DrawFrameControl(&r, DFC_CAPTION, DFCS_CAPTIONCLOSE | (m_closePressed ? DFCS_PUSHED : 0));
}

void CDialogPainter::PaintNonClient()
{
    CWindowDC dc(m_dialog);
    CRect window;
    m_dialog->GetWindowRect(&window);
    const CRect whole(0, 0, window.Width(), window.Height());
    CRect client;
    m_dialog->GetClientRect(&client);
    client.OffsetRect(m_dialog->GetClientOffset());
    dc.ExcludeClipRect(&client);
    dc.FillSolidRect(&whole, GetSysColor(COLOR_BTNFACE));
    const bool active = GetForegroundWindow() == m_dialog->m_hWnd;
    const int captionColour = active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION;
    const CRect band(0, 0, whole.right, GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION));
    FillVerticalGradient(&dc, band, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(captionColour), GetSysColor(captionColour));
    // The caption font of the non-client metrics: the bold dialog face.
    LOGFONT lf{};
    lf.lfHeight = -11;
    lf.lfWeight = 700;
    std::strcpy(lf.lfFaceName, "Tahoma");
    CFont font;
    font.CreateFontIndirect(&lf);
    dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    const CString title = m_dialog->GetWindowText();
    const int height = dc.GetTextExtent(title.IsEmpty() ? CString("A") : title).cy;
    dc.TextOut(GetSystemMetrics(SM_CXDLGFRAME),
               GetSystemMetrics(SM_CYDLGFRAME) + (GetSystemMetrics(SM_CYCAPTION) - height) / 2, title);
    DrawCloseButton(dc);
    CRect edge = whole;
    dc.DrawEdge(&edge, EDGE_RAISED, BF_RECT);
}
