#include "uikit/CNWHorizBitmapVUMeter.h"

#include "uikit/CBitmapCache.h"

CNWHorizBitmapVUMeter::CNWHorizBitmapVUMeter(CNWControlSite* site, UINT row1BitmapId, UINT row2BitmapId,
                                             int leftCapWidth, int clipWidth, int segmentWidth)
    : CNWMeterCtrl(site), m_bitmaps{row1BitmapId, row2BitmapId}, m_capWidth(leftCapWidth), m_clipWidth(clipWidth),
      m_segmentWidth(segmentWidth > 0 ? segmentWidth : 1)
{
    for (int i = 0; i < 2; ++i) {
        g_bitmapCache.AddRef(m_bitmaps[i]);
        m_rowHeights[i] = CachedSize(m_bitmaps[i]).cy;
    }
    m_fraction[0] = m_fraction[1] = 1e-5f;
}

CNWHorizBitmapVUMeter::~CNWHorizBitmapVUMeter()
{
    for (UINT id : m_bitmaps)
        g_bitmapCache.Release(id);
}

void CNWHorizBitmapVUMeter::SetSize(SIZE size)
{
    m_segments = std::max(0, (static_cast<int>(size.cx) - m_clipWidth - m_capWidth) / m_segmentWidth);
    const float bottom = ScaleBottom();
    m_warningIndex = static_cast<int>((bottom + 6.0f) * static_cast<float>(m_segments) / bottom);
    CNWMeterCtrl::SetSize(size);
}

bool CNWHorizBitmapVUMeter::HasChanged()
{
    for (int c = 0; c < kChannels; ++c) {
        if (m_levels[c * kFloats + 2] != m_drawnLevels[c * kFloats + 2])
            return true;
        if (m_showPeaks && m_peaks[c * kFloats] != m_drawnPeaks[c * kFloats])
            return true;
    }
    return false;
}

void CNWHorizBitmapVUMeter::TakeLevels()
{
    for (int c = 0; c < kChannels; ++c)
        m_displayed[c] = m_levels[c * kFloats + 2];
}

void CNWHorizBitmapVUMeter::DrawRow(CDC* dc, UINT bitmap, int channel, int top, int height)
{
    const int a = m_capWidth, b = m_clipWidth, s = m_segmentWidth;
    // Source x of each image: dark half, then lit half.
    const int darkCap = 0, darkNormal = a, darkWarning = a + s, darkClip = a + 2 * s;
    const int litCap = a + 2 * s + b, litNormal = 2 * a + 2 * s + b, litWarning = 2 * a + 3 * s + b,
              litClip = 2 * a + 4 * s + b;
    const int lit = static_cast<int>(static_cast<float>(m_segments) * m_fraction[channel] + 0.5f);
    const float level = m_displayed[channel];
    int x = m_rect.left;
    BlitCached(dc, bitmap, CRect(x, top, x + a, top + height), level >= ScaleBottom() ? litCap : darkCap, 0);
    x += a;
    for (int i = 0; i < m_segments; ++i, x += s) {
        const bool warning = i >= m_warningIndex;
        const int src = i < lit ? (warning ? litWarning : litNormal) : (warning ? darkWarning : darkNormal);
        BlitCached(dc, bitmap, CRect(x, top, x + s, top + height), src, 0);
    }
    const float clipLevel = m_showPeaks ? m_drawnPeaks[channel * kFloats] : level;
    BlitCached(dc, bitmap, CRect(x, top, x + b, top + height), clipLevel >= -0.05f ? litClip : darkClip, 0);
}

void CNWHorizBitmapVUMeter::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    DrawRow(dc, m_bitmaps[0], 0, m_rect.top, m_rowHeights[0]);
    DrawRow(dc, m_bitmaps[1], 1, m_rect.top + m_rowHeights[0], m_rowHeights[1]);
    m_dirty = false;
}
