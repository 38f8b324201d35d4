#include "uikit/DrawHelpers.h"

#include <climits>

#include "platform/ui/BitmapResources.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"

namespace {

int g_colorCount = 0;
CPalette* g_gradientPalette = nullptr;
const bool g_gradientsEnabled = true;

// The colours the four system-colour indices stand in for.
struct SysColorMap {
    COLORREF colour;
    int index;
};
SysColorMap g_sysColorMap[4] = {
    {RGB(0, 0, 0), COLOR_BTNTEXT},
    {RGB(128, 128, 128), COLOR_BTNSHADOW},
    {RGB(192, 192, 192), COLOR_BTNFACE},
    {RGB(255, 255, 255), COLOR_BTNHIGHLIGHT},
};

}  // namespace

int GetDisplayColorCount()
{
    if (g_colorCount == 0) {
        CDC display;
        display.CreateDC("DISPLAY");
        const int shift = display.GetDeviceCaps(PLANES) * display.GetDeviceCaps(BITSPIXEL);
        g_colorCount = shift >= 31 ? INT_MAX : 1 << std::max(shift, 0);
    }
    return g_colorCount;
}

bool HasAtLeast256Colors()
{
    return GetDisplayColorCount() >= 256;
}

void ResetDisplayColorCount()
{
    g_colorCount = 0;
}

HBITMAP LoadSysColorBitmap(HINSTANCE module, UINT id, bool twoColour, int blackIndex, int greyIndex,
                           int lightGreyIndex, int whiteIndex)
{
    CBitmap bitmap;
    if (!bitmap.Attach(LoadBitmapA(module, id)))
        return nullptr;
    g_sysColorMap[0].index = blackIndex;
    g_sysColorMap[1].index = greyIndex;
    g_sysColorMap[2].index = lightGreyIndex;
    g_sysColorMap[3].index = whiteIndex;
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&bitmap);
    const CSize size = bitmap.GetSize();
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            const COLORREF c = mem.GetPixel(x, y);
            if (twoColour) {
                mem.SetPixel(x, y, GetSysColor(c == g_sysColorMap[2].colour ? g_sysColorMap[2].index
                                                                             : g_sysColorMap[1].index));
                continue;
            }
            for (const SysColorMap& m : g_sysColorMap)
                if (c == m.colour) {
                    mem.SetPixel(x, y, GetSysColor(m.index));
                    break;
                }
        }
    return bitmap.Detach();
}

void DrawBitmapItem(HINSTANCE module, UINT id, const DRAWITEMSTRUCT* item)
{
    if (!item || item->itemAction == ODA_FOCUS)
        return;
    CDC* dc = CDC::FromHandle(item->hDC);
    if (!dc)
        return;
    CRect r(item->rcItem);
    dc->FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    CBitmap bitmap;
    if (!bitmap.Attach(LoadSysColorBitmap(module, id, false, COLOR_BTNTEXT, COLOR_BTNSHADOW, COLOR_BTNFACE,
                                          COLOR_BTNHIGHLIGHT)))
        return;
    const bool selected = item->itemState & ODS_SELECTED;
    const CSize b = bitmap.GetSize();
    const int w = std::min<int>(b.cx, r.Width()), h = std::min<int>(b.cy, r.Height());
    int x = r.left + (r.Width() - w) / 2, y = r.top + (r.Height() - h) / 2;
    if (selected) {
        ++x;
        ++y;
    }
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap* old = mem.SelectObject(&bitmap);
    dc->StretchBlt(x, y, w, h, &mem, 0, 0, b.cx, b.cy, SRCCOPY);
    mem.SelectObject(old);
    if (selected) {
        dc->DrawEdge(&r, EDGE_SUNKEN, BF_TOP | BF_LEFT | BF_SOFT);
        dc->DrawEdge(&r, BDR_RAISEDOUTER, BF_RIGHT | BF_BOTTOM | BF_SOFT);
    } else {
        dc->DrawEdge(&r, EDGE_RAISED, BF_RECT | BF_SOFT);
    }
}

namespace {

void DrawFrame(CDC* dc, const RECT& rect, int topLeft, int bottomRight)
{
    if (!dc)
        return;
    const CRect r(rect);
    if (r.IsRectEmpty())
        return;
    CPen tl(PS_SOLID, 1, GetSysColor(topLeft));
    CPen br(PS_SOLID, 1, GetSysColor(bottomRight));
    dc->SelectObject(&tl);
    dc->MoveTo(r.left, r.bottom - 1);
    dc->LineTo(r.left, r.top);
    dc->LineTo(r.right - 1, r.top);
    dc->SelectObject(&br);
    dc->LineTo(r.right - 1, r.bottom - 1);
    dc->LineTo(r.left, r.bottom - 1);
    dc->SelectStockObject(BLACK_PEN);
}

}  // namespace

void DrawSunkenFrame(CDC* dc, const RECT& rect)
{
    DrawFrame(dc, rect, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
}

void DrawRaisedFrame(CDC* dc, const RECT& rect)
{
    DrawFrame(dc, rect, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
}

void SetGradientPalette(CPalette* palette)
{
    g_gradientPalette = palette;
}

void FillVerticalGradient(CDC* dc, const RECT& rect, COLORREF top, COLORREF bottom, COLORREF fallback)
{
    if (!dc)
        return;
    const CRect r(rect);
    const COLORREF savedBk = dc->GetBkColor();
    if (g_gradientsEnabled && HasAtLeast256Colors()) {
        HPALETTE oldPalette = nullptr;
        if (g_gradientPalette) {
            oldPalette = dc->SelectPalette(g_gradientPalette->GetSafeHandle(), FALSE);
            dc->RealizePalette();
        }
        const int h = r.Height();
        for (int i = 0; i < h; ++i) {
            const int red = GetRValue(top) + MulDiv(GetRValue(bottom) - GetRValue(top), i, h);
            const int green = GetGValue(top) + MulDiv(GetGValue(bottom) - GetGValue(top), i, h);
            const int blue = GetBValue(top) + MulDiv(GetBValue(bottom) - GetBValue(top), i, h);
            const COLORREF c = g_gradientPalette ? PALETTERGB(red, green, blue) : RGB(red, green, blue);
            dc->FillSolidRect(r.left, r.top + i, r.Width(), 1, c);
        }
        if (g_gradientPalette)
            dc->SelectPalette(oldPalette, FALSE);
    } else {
        dc->FillSolidRect(&r, fallback == CLR_INVALID ? top : fallback);
    }
    dc->SetBkColor(savedBk);
}
