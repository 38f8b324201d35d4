// A rotary knob drawn from a filmstrip bitmap: `columns` frames across, the
// frame shown follows the value (the first at the minimum, the last at the
// maximum); with 2 rows the second row holds the highlighted frames, shown
// while selected or hovered. The caption sits below the image, abbreviated
// to fit. A vertical drag turns it (the full range takes 128 / 0.45 pixels)
// with the pointer hidden and held where the drag began, the value shown in
// the value tip; a double click resets it to its default. UI thread only.
#pragma once

#include "uikit/CNWControl.h"

class CNWBitmapKnob : public CNWControl {
public:
    // Width or height -1: the frame's.
    CNWBitmapKnob(CNWControlSite* site, UINT bitmapId, int columns, int rows, int width, int height);
    ~CNWBitmapKnob() override;

    void Draw(CDC* dc) override;
    void DrawFocus(CDC* dc) override;
    void SetSize(SIZE size) override;
    void SetPosition(POINT point, bool redraw) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnRButtonUp(UINT flags, POINT point) override;

    // Replaces the filmstrip (same columns and rows).
    virtual void SetBitmap(UINT bitmapId);
    virtual double GetDragSensitivity() const { return 0.45; }
    virtual void LayoutKnob();

    // The frame the value shows.
    int FrameIndex() const;
    const CRect& GetImageRect() const { return m_image; }
    const CRect& GetCaptionRect() const { return m_caption; }
    int GetFrameWidth() const { return m_frameWidth; }
    int GetFrameHeight() const { return m_frameHeight; }

private:
    void MeasureFrames();

    UINT m_bitmapId;
    int m_columns;
    int m_rows;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    double m_pressValue = -1.0;
    CRect m_image;
    CRect m_caption;
};
