#include "uikit/CStippleBitmap.h"

#include "uikit/DrawHelpers.h"

CStippleBitmap::CStippleBitmap(CDC* dc, int width, int height, int xOrigin, int yOrigin, int style,
                               int opacity, COLORREF colour)
    : m_xOrigin(xOrigin),
      m_yOrigin(yOrigin),
      m_style(style < 0 || style > 2 ? 0 : style),
      m_opacity(std::clamp(opacity, 0, 255)),
      m_colour(colour)
{
    m_xPeriod = m_style == 1 ? 3 : m_style == 0 ? 2 : 1;
    m_yPeriod = m_style == 2 ? 1 : 2;
    // A tile smaller than its period could not be stepped through.
    m_width = std::max(width, m_xPeriod);
    m_height = std::max(height, m_yPeriod);
    CDC mem;
    mem.CreateCompatibleDC(dc);
    if (m_style == 2) {
        m_tile.CreateCompatibleBitmap(dc, m_width, m_height);
        mem.SelectObject(&m_tile);
        mem.FillSolidRect(0, 0, m_width, m_height, m_colour);
        return;
    }
    m_tile.CreateBitmap(m_width, m_height, 1, 1, nullptr);
    mem.SelectObject(&m_tile);
    mem.FillSolidRect(0, 0, m_width, m_height, RGB(255, 255, 255));
    int start = 0;
    for (int y = 0; y < m_height; ++y) {
        if (m_style == 0) {
            for (int x = y % 2; x < m_width; x += 2)
                mem.SetPixel(x, y, RGB(0, 0, 0));
        } else if (y % 2 == 0) {
            for (int x = start; x < m_width; x += 3)
                mem.SetPixel(x, y, RGB(0, 0, 0));
            start = (start + 1) % 3;
        }
    }
}

CStippleBitmap::~CStippleBitmap()
{
    m_tile.DeleteObject();
}

void CStippleBitmap::Draw(CDC* dc, const RECT& rect)
{
    if (!dc)
        return;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap* old = mem.SelectObject(&m_tile);
    // The dots take the text colour; the white around them takes the
    // background colour, held at black so it inverts nothing.
    const COLORREF oldText = dc->SetTextColor(m_colour);
    const COLORREF oldBk = dc->SetBkColor(RGB(0, 0, 0));
    const auto modulo = [](int v, int p) { return ((v % p) + p) % p; };
    for (int y = rect.top; y < rect.bottom;) {
        const int sy = modulo(y + m_yOrigin, m_yPeriod);
        const int h = std::min<int>(m_height - sy, rect.bottom - y);
        for (int x = rect.left; x < rect.right;) {
            const int sx = modulo(x + m_xOrigin, m_xPeriod);
            const int w = std::min<int>(m_width - sx, rect.right - x);
            if (m_style == 2) {
                const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(m_opacity), 0};
                dc->AlphaBlend(x, y, w, h, &mem, sx, sy, w, h, blend);
            } else {
                dc->BitBlt(x, y, w, h, &mem, sx, sy, SRCINVERT);
            }
            x += w;
        }
        y += h;
    }
    dc->SetTextColor(oldText);
    dc->SetBkColor(oldBk);
    mem.SelectObject(old);
}
