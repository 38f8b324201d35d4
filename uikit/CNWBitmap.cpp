#include "uikit/CNWBitmap.h"

#include "uikit/CBitmapCache.h"

CNWBitmap::CNWBitmap(CNWControlSite* site, UINT bitmapId) : CNWControl(site), m_bitmapId(bitmapId)
{
    m_look.alignment = NWA_ALIGN_CENTER;
    if (m_bitmapId)
        g_bitmapCache.AddRef(m_bitmapId);
    m_rect = CRect(CPoint(0, 0), CachedSize(bitmapId));
}

CNWBitmap::~CNWBitmap()
{
    if (m_bitmapId)
        g_bitmapCache.Release(m_bitmapId);
}

CString CNWBitmap::FitStarredCaption(CDC* dc, const CString& text, int width)
{
    const int length = text.GetLength();
    if (length == 0 || text[length - 1] != '*' || dc->GetTextExtent(text).cx <= width)
        return text;
    // Cut one character at a time from what stood before the mark until the
    // prefix with "...*" fits, or nothing of it is left.
    CString prefix = text.Left(length - 1);
    while (!prefix.IsEmpty()) {
        prefix = prefix.Left(prefix.GetLength() - 1);
        const CString candidate = prefix + "...*";
        if (dc->GetTextExtent(candidate).cx <= width)
            return candidate;
    }
    return CString("...*");
}

void CNWBitmap::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    BlitCached(dc, m_bitmapId, m_rect, 0, 0);
    if (m_look.showText) {
        CFont* old = dc->SelectObject(m_look.boldFont ? BoldFont() : SmallFont());
        const CString shown = FitStarredCaption(dc, m_text, CaptionRect().Width());
        dc->SelectObject(old);
        DrawCaption(dc, shown);
    }
    DrawHoverAndFocus(dc);
    m_dirty = false;
}
