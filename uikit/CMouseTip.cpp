#include "uikit/CMouseTip.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"

namespace {
constexpr char kClassName[] = "MvMouseTip";
}  // namespace

CMouseTip::~CMouseTip()
{
    if (GetSafeHwnd())
        DestroyWindow();
}

CFont* CMouseTip::TipFont()
{
    // The status-bar font of a classic desktop: 8 points of Tahoma.
    static CFont font;
    if (!font.IsCreated()) {
        LOGFONT lf{};
        lf.lfHeight = -MulDiv(8, GetDisplayCaps(LOGPIXELSY), 72);
        lf.lfWeight = FW_NORMAL;
        lf.lfQuality = ANTIALIASED_QUALITY;
        std::snprintf(lf.lfFaceName, LF_FACESIZE, "%s", "Tahoma");
        font.CreateFontIndirect(&lf);
    }
    return &font;
}

BOOL CMouseTip::Create()
{
    if (IsWindow(GetSafeHwnd()))
        return TRUE;
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, kClassName, &wc)) {
        wc.lpszClassName = kClassName;
        AfxRegisterClass(&wc);
    }
    return CreateEx(0, kClassName, "", WS_POPUP | WS_DISABLED, CRect(0, 0, 0, 0), nullptr, 0);
}

void CMouseTip::Show(bool show)
{
    if (!IsWindow(GetSafeHwnd()))
        return;
    SetWindowPos(nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void CMouseTip::SetTipText(const CString& text, POINT screen)
{
    if (!IsWindow(GetSafeHwnd()))
        return;
    CSize extent;
    {
        CClientDC dc(this);
        dc.SelectObject(TipFont());
        extent = dc.GetTextExtent(text);
    }
    const int width = extent.cx + 6;
    const int height = extent.cy + 4;
    const int screenW = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int screenH = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    int x = screen.x;
    int y = screen.y;
    if (x + width > screenW) x = screenW - width;
    if (x < 0) x = 0;
    if (y + height > screenH) y = screenH - height;
    if (y < 0) y = 0;
    SetWindowText(text);
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
}

void CMouseTip::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    CBrush back(GetSysColor(COLOR_INFOBK));
    CBrush* oldBrush = dc.SelectObject(&back);
    dc.SelectStockObject(BLACK_PEN);
    dc.Rectangle(&r);
    dc.SelectObject(oldBrush);
    dc.SelectObject(TipFont());
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_INFOTEXT));
    dc.DrawText(GetWindowText(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}
