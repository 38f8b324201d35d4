// The horizontal VU meter of the channel strips: two rows (one per
// channel), each drawn from a cached bitmap strip of a dark and a lit half,
// each half a left cap, a normal segment, a warning segment and a clip
// lamp. Segments above -6 dB use the warning image; the clip lamp lights at
// -0.05 dB and above (of the peak when peaks are shown). It shows the third
// level float of each channel. UI thread only.
#pragma once

#include "uikit/CNWMeterCtrl.h"

class CNWHorizBitmapVUMeter : public CNWMeterCtrl {
public:
    CNWHorizBitmapVUMeter(CNWControlSite* site, UINT row1BitmapId, UINT row2BitmapId, int leftCapWidth,
                          int clipWidth, int segmentWidth);
    ~CNWHorizBitmapVUMeter() override;

    void Draw(CDC* dc) override;
    void SetSize(SIZE size) override;
    bool HasChanged() override;
    void TakeLevels() override;

    int GetSegmentCount() const { return m_segments; }
    int GetWarningIndex() const { return m_warningIndex; }

private:
    void DrawRow(CDC* dc, UINT bitmap, int channel, int top, int height);

    UINT m_bitmaps[2];
    int m_capWidth;
    int m_clipWidth;
    int m_segmentWidth;
    int m_rowHeights[2];
    int m_segments = 0;
    int m_warningIndex = 0;
};
