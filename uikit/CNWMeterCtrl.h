// A stereo level meter: the host calls UpdateMeter periodically; the meter
// reads its source's levels (and peaks when shown) and repaints only when
// what it shows changed. The scale runs from 0 dB down to the bottom of the
// range (-96, -48, -24 or -12 dB; -24 unless a host chooses otherwise). A
// click resets the source. UI thread only.
#pragma once

#include "uikit/CNWControl.h"
#include "uikit/ILevelMeterSource.h"

class CNWMeterCtrl : public CNWControl {
public:
    static constexpr int kChannels = 2;
    static constexpr int kFloats = 3;

    explicit CNWMeterCtrl(CNWControlSite* site);
    ~CNWMeterCtrl() override;

    // Holds a reference on the new source (and drops the old one) and
    // configures it; the same source again changes nothing.
    void AttachMeter(ILevelMeterSource* source);
    void SetRangeIndex(int index);
    void SetShowPeaks(bool on) { m_showPeaks = on; }

    virtual void UpdateMeter();
    virtual bool HasChanged();
    virtual void ComputePositions();
    virtual void TakeLevels();

    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override {}

    // The bottom of the scale in dB.
    float ScaleBottom() const;
    float GetLitFraction(int channel) const { return m_fraction[channel]; }
    int GetLitPixels(int channel) const { return m_litPixels[channel]; }
    float GetDisplayedLevel(int channel) const { return m_displayed[channel]; }

protected:
    ILevelMeterSource* m_source = nullptr;
    float m_levels[kChannels * kFloats];
    float m_peaks[kChannels * kFloats];
    float m_drawnLevels[kChannels * kFloats];
    float m_drawnPeaks[kChannels * kFloats];
    int m_rangeIndex = 2;
    float m_fraction[kChannels] = {0.0f, 0.0f};
    int m_litPixels[kChannels] = {0, 0};
    float m_displayed[kChannels] = {-100.0f, -100.0f};
    bool m_showPeaks = false;
};
