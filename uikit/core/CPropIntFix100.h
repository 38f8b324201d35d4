// An integer count of hundredths shown with two decimals ("-0.05" for -5).
#pragma once

#include <climits>

#include "uikit/core/CProperty.h"

class CPropIntFix100 : public CProperty {
public:
    CPropIntFix100(LONG value = 0, LONG minimum = INT_MIN, LONG maximum = INT_MAX, LONG smallStep = 1, LONG largeStep = 10)
        : m_value(value), m_minimum(minimum), m_maximum(maximum), m_smallStep(smallStep), m_largeStep(largeStep)
    {
    }

    CProperty* Clone() const override;
    bool CopyFrom(const CProperty* other) override;
    bool GetLimits(CProperty** minimum, CProperty** maximum) const override;
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    // Digits, '-', '+' and '.'.
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    // "1.234" reads as 123, "3." as 300, "-0.5" as -50; within range.
    bool ParseText(const char* text) override;
    // '+' and '-' the small step, ']' and '[' the large one; clamped.
    void HandleStepKey(int key) override;

    LONG GetValue() const { return m_value; }
    // Takes the value only within minimum..maximum.
    void SetValue(LONG value);

private:
    LONG m_value;
    LONG m_minimum;
    LONG m_maximum;
    LONG m_smallStep;
    LONG m_largeStep;
};
