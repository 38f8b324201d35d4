// A pan position shown as percent left or right of the centre ("C", "25% L",
// "100% R"). A text ending in L, C or R reads as such a percentage; a bare
// number reads as a 0..127 controller value across the range.
#pragma once

#include "uikit/core/CProperty.h"

class CPropPan : public CProperty {
public:
    CPropPan(double value = 0.0, double minimum = -100.0, double maximum = 100.0)
        : m_value(value), m_minimum(minimum), m_maximum(maximum), m_centre((minimum + maximum) / 2)
    {
    }

    CProperty* Clone() const override { return new CPropPan(m_value, m_minimum, m_maximum); }
    bool CopyFrom(const CProperty* other) override;
    bool GetLimits(CProperty** minimum, CProperty** maximum) const override;
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    // '-', digits and 'l', 'r', 'c' in either case; not '+'.
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    bool ParseText(const char* text) override;
    // '+' and '-' half a percent of the span, ']' and '[' five; clamped.
    void HandleStepKey(int key) override;

    double GetValue() const { return m_value; }

private:
    bool InRange(double v) const { return v >= m_minimum && v <= m_maximum; }

    double m_value;
    double m_minimum;
    double m_maximum;
    double m_centre;
};
