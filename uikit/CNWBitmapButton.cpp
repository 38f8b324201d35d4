#include "uikit/CNWBitmapButton.h"

#include "uikit/CBitmapCache.h"

CNWBitmapButton::CNWBitmapButton(CNWControlSite* site, UINT normalId, UINT onId, UINT disabledId, int mode)
    : CNWToggleControl(site, mode)
{
    m_look.alignment = NWA_ALIGN_CENTER;
    Hold(normalId, onId, disabledId);
    m_rect = CRect(CPoint(0, 0), CachedSize(normalId));
}

CNWBitmapButton::~CNWBitmapButton()
{
    Drop();
}

void CNWBitmapButton::Hold(UINT normalId, UINT onId, UINT disabledId)
{
    m_normalId = normalId;
    m_onId = onId;
    m_disabledId = disabledId;
    for (UINT id : {m_normalId, m_onId, m_disabledId})
        if (id)
            g_bitmapCache.AddRef(id);
}

void CNWBitmapButton::Drop()
{
    for (UINT id : {m_normalId, m_onId, m_disabledId})
        if (id)
            g_bitmapCache.Release(id);
}

void CNWBitmapButton::SetBitmaps(UINT normalId, UINT onId, UINT disabledId)
{
    // Take the new references before dropping the old ones, so a bitmap
    // kept across the change is not unloaded and loaded again.
    const UINT oldNormal = m_normalId, oldOn = m_onId, oldDisabled = m_disabledId;
    Hold(normalId, onId, disabledId);
    for (UINT id : {oldNormal, oldOn, oldDisabled})
        if (id)
            g_bitmapCache.Release(id);
    Invalidate();
}

void CNWBitmapButton::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    UINT id = m_normalId;
    if (!m_editable && m_disabledId)
        id = m_disabledId;
    else if (m_onId && (m_value >= 0.5 || (m_showOnWhilePressed && m_tracking)))
        id = m_onId;
    BlitCached(dc, id, m_rect, 0, 0, m_transparent);
    if (m_look.showText)
        DrawCaption(dc, m_text);
    if (m_tracking && m_sunkenWhilePressed)
        DrawFrame(dc, true);
    DrawHoverAndFocus(dc);
    m_dirty = false;
}

void CNWBitmapButton::DrawFocus(CDC* dc)
{
    DrawFrame(dc, false);
}
