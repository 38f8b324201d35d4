// A level in decibels with one decimal; the minimum reads "-INF", so a
// volume at silence shows as such. Also turns linear gains and fader
// positions into decibels for the mixer's volume parameters.
#pragma once

#include "uikit/core/CProperty.h"

// The volume taper: a normalised fader position (0..1) to a linear gain,
// piecewise exponential, unity at 101/127 and 2 (+6.02 dB) at the top. The
// segments meet with small jumps at 35/127 and 58/127, which stored fader
// positions rely on, so they stay as they are. A narrow band around 101/127
// is tested first and gives exactly unity.
double FaderPositionToGain(float position);

class CPropDBFine : public CProperty {
public:
    static constexpr double kMinimumDb = -144.0;
    static constexpr double kMaximumDb = 18.0;

    CPropDBFine(double value = 0.0, double minimum = kMinimumDb, double maximum = kMaximumDb)
        : m_value(value), m_minimum(minimum), m_maximum(maximum)
    {
    }

    CProperty* Clone() const override { return new CPropDBFine(m_value, m_minimum, m_maximum); }
    bool CopyFrom(const CProperty* other) override;
    bool GetLimits(CProperty** minimum, CProperty** maximum) const override;
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    // '-', digits, '.', and 'i', 'n', 'f' in either case; not '+'.
    bool IsValidChar(int ch) const override;
    // "-INF" at the minimum, else "%.1f".
    void FormatText(CString& out) const override;
    // "-INF" in any case gives the minimum; else a number within range.
    bool ParseText(const char* text) override;
    // '+' and '-' 1 dB, ']' and '[' 10 dB; clamped.
    void HandleStepKey(int key) override;
    virtual void FormatNumber(CString& out) const;

    // Gain 0 is the minimum; a gain outside the range sets the nearer limit
    // and gives false. A negative gain has no level: false, value kept.
    bool SetFromLinearGain(double gain);
    bool SetFromParamValue(float position) { return SetFromLinearGain(FaderPositionToGain(position)); }

    double GetValue() const { return m_value; }

private:
    bool InRange(double v) const { return v >= m_minimum && v <= m_maximum; }

    double m_value;
    double m_minimum;
    double m_maximum;
};
