#include "uikit/CSizingControlBarCF.h"

#include <cstring>

#include "platform/ui/CDC.h"
#include "platform/ui/CFont.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"

namespace {
COLORREF Mix(COLORREF from, COLORREF to, int step, int steps)
{
    auto channel = [&](int shift) {
        const int a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        return a + (b - a) * step / (steps - 1);
    };
    return RGB(channel(0), channel(8), channel(16));
}
}  // namespace

// The window layer carries a stand-in for Tahoma wherever it runs, so the
// caption never falls back to Arial here.
CSizingControlBarCF::CSizingControlBarCF() : captionFont("Tahoma") {}

LRESULT CSizingControlBarCF::OnNcHitTest(CPoint screen)
{
    return CSizingControlBar::OnNcHitTest(screen);
}

BOOL CSizingControlBarCF::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const BOOL handled = CSizingControlBarG::OnWndMsg(message, wParam, lParam, result);
    if (message == WM_SETTEXT)
        RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    return handled;
}

void CSizingControlBarCF::OnUpdateCmdUI(CFrameWnd*, BOOL)
{
    BOOL active = FALSE;
    for (CWnd* w = GetFocus(); w && !active; w = w->GetParent())
        active = w->GetParent() == this;
    if (active != captionActive) {
        captionActive = active;
        RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    }
}

void CSizingControlBarCF::PaintGripper(CDC* dc, const CRect& client)
{
    if (!ShowsGripper())
        return;
    const bool upright = IsHorzDocked();
    CRect band;
    if (upright)
        band = CRect(client.left - gripperWidth, closePos.y + 14, client.left - gripperWidth + 11, client.bottom);
    else
        band = CRect(client.left, client.top - gripperWidth, closePos.x - 3, client.top - gripperWidth + 11);
    const COLORREF from = GetSysColor(captionActive ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    const COLORREF to = GetSysColor(captionActive ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
    BOOL gradient = FALSE;
    SystemParametersInfoA(SPI_GETGRADIENTCAPTIONS, 0, &gradient, 0);
    if (!gradient) {
        dc->FillSolidRect(&band, from);
    } else {
        // 64 steps, left to right along a lying band, bottom to top along an upright one.
        constexpr int kSteps = 64;
        const int length = upright ? band.Height() : band.Width();
        for (int i = 0; i < kSteps; ++i) {
            const int a = length * i / kSteps, b = length * (i + 1) / kSteps;
            if (b <= a)
                continue;
            CRect part = band;
            if (upright) {
                part.bottom = band.bottom - a;
                part.top = band.bottom - b;
            } else {
                part.left = band.left + a;
                part.right = band.left + b;
            }
            dc->FillSolidRect(&part, Mix(from, to, i, kSteps));
        }
    }
    const int dpi = GetDisplayCaps(LOGPIXELSY) > 0 ? GetDisplayCaps(LOGPIXELSY) : 96;
    LOGFONT lf{};
    lf.lfHeight = -MulDiv(MulDiv(85, 96, dpi), dpi, 720);
    lf.lfWeight = 400;
    lf.lfEscapement = upright ? 900 : 0;
    lf.lfOrientation = lf.lfEscapement;
    std::strncpy(lf.lfFaceName, captionFont, LF_FACESIZE - 1);
    CFont font;
    if (font.CreateFontIndirect(&lf)) {
        const int saved = dc->SaveDC();
        dc->IntersectClipRect(&band);
        dc->SelectObject(&font);
        dc->SetBkMode(TRANSPARENT);
        dc->SetTextColor(GetSysColor(captionActive ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        const CString title = GetWindowText();
        if (upright)
            dc->TextOut(band.left - 1, band.bottom - 3, title);
        else
            dc->TextOut(band.left + 3, band.top - 1, title);
        dc->RestoreDC(saved);
    }
    PaintCloseButton(dc);
}
