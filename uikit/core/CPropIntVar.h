// A scaled integer shown with a fixed number of decimals d (0..9): the
// value 1500 at three decimals is "1.500". Its limits are properties of the
// same kind, so a range message shows them with the same decimals.
#pragma once

#include <climits>

#include "uikit/core/CProperty.h"

class CPropIntVar : public CProperty {
public:
    static constexpr LONG kMaxDecimals = 9;

    // The value is brought into minimum..maximum; decimals outside 0..9
    // (beyond 32 bits at ten) are brought into them.
    CPropIntVar(LONG value = 0, LONG minimum = INT_MIN, LONG maximum = INT_MAX, LONG decimals = 2, LONG smallStep = 1,
                LONG largeStep = 10);

    CProperty* Clone() const override;
    bool CopyFrom(const CProperty* other) override;
    bool GetLimits(CProperty** minimum, CProperty** maximum) const override;
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    // Digits, '-', '+' and '.'.
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    // "1.5" at three decimals reads as 1500; within range.
    bool ParseText(const char* text) override;
    // '+' and '-' the small step, ']' and '[' the large one; clamped.
    void HandleStepKey(int key) override;

    LONG GetValue() const { return m_value; }
    LONG GetDecimals() const { return m_decimals; }
    // Takes the value only within minimum..maximum.
    void SetValue(LONG value);

private:
    LONG m_value;
    LONG m_minimum;
    LONG m_maximum;
    LONG m_decimals;
    LONG m_smallStep;
    LONG m_largeStep;
};
