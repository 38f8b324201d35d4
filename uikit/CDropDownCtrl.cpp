#include "uikit/CDropDownCtrl.h"

#include "uikit/CNWControlSite.h"

namespace {
int g_instances = 0;
CBitmap g_glyphs;
constexpr int kArrowSize = 8;
}  // namespace

CDropDownCtrl::CDropDownCtrl(CNWControlSite* site) : CNWControl(site)
{
    m_look.clickInput = FALSE;
    if (g_instances++ == 0)
        g_glyphs = LoadOwnBitmap(kArrowBitmap);
}

CDropDownCtrl::~CDropDownCtrl()
{
    if (--g_instances == 0)
        g_glyphs.DeleteObject();
}

void CDropDownCtrl::SetArrowImages(int editable, int notEditable)
{
    m_editableGlyph = editable >= 0 && editable < kGlyphCount ? editable : 0;
    m_lockedGlyph = notEditable >= 0 && notEditable < kGlyphCount ? notEditable : 1;
}

void CDropDownCtrl::Layout()
{
    m_arrowRect = m_rect;
    m_arrowRect.top = (m_rect.top + m_rect.bottom) / 2 - kArrowSize / 2;
    m_arrowRect.bottom = m_arrowRect.top + kArrowSize;
    m_arrowRect.left = m_rect.right - kArrowSize * 3 / 2;
    m_textRect = m_rect;
    m_textRect.right = m_arrowRect.left;
}

void CDropDownCtrl::SetSize(SIZE size)
{
    CNWControl::SetSize(size);
    Layout();
}

void CDropDownCtrl::SetPosition(POINT point, bool redraw)
{
    CNWControl::SetPosition(point, redraw);
    Layout();
}

void CDropDownCtrl::Open(UINT flags, POINT point)
{
    if (!m_editable)
        return;
    if (m_hasTextArea && m_textRect.PtInRect(point)) {
        m_site->OnControlClicked(this, flags);
        return;
    }
    if (m_hasArrowArea && !m_arrowRect.PtInRect(point))
        return;
    RunContextMenu(point);
}

void CDropDownCtrl::OnLButtonDown(UINT flags, POINT point)
{
    if (!m_openOnRelease)
        Open(flags, point);
}

void CDropDownCtrl::OnLButtonUp(UINT flags, POINT point)
{
    if (m_openOnRelease)
        Open(flags, point);
}

void CDropDownCtrl::OnLButtonDblClk(UINT flags, POINT point)
{
    CNWControl::OnLButtonDblClk(flags, point);
    m_tracking = false;
    if (m_editable)
        m_site->OnControlClicked(this, flags);
    // Neither button handler ends a gesture here: the double click ends its own.
    EndGesture();
}

void CDropDownCtrl::DrawTextAndArrow(CDC* dc)
{
    CFont* old = dc->SelectObject(ControlFont());
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(m_editable ? m_look.text1 : m_look.disabledText);
    if (g_glyphs.Data()) {
        const CSize strip = g_glyphs.GetSize();
        const int glyph = GetArrowImage(m_editable);
        const int x = m_arrowRect.left + (m_arrowRect.Width() - kGlyphWidth) / 2;
        const int y = m_arrowRect.top + (m_arrowRect.Height() - strip.cy) / 2;
        CDC mem;
        mem.CreateCompatibleDC(dc);
        CBitmap* oldBitmap = mem.SelectObject(&g_glyphs);
        dc->TransparentBlt(x, y, kGlyphWidth, strip.cy, &mem, glyph * kGlyphWidth, 0, kGlyphWidth, strip.cy,
                           RGB(255, 0, 255));
        mem.SelectObject(oldBitmap);
    }
    CRect r = m_textRect;
    dc->DrawText(m_text, &r, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    dc->SelectObject(old);
}

void CDropDownCtrl::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    dc->FillSolidRect(&m_rect, m_look.background1);
    DrawTextAndArrow(dc);
    m_dirty = false;
}
