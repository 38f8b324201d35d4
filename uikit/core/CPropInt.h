// A 32-bit integer within minimum..maximum, shown as "%d".
#pragma once

#include <climits>

#include "uikit/core/CProperty.h"

class CPropInt : public CProperty {
public:
    CPropInt(LONG value = 0, LONG minimum = INT_MIN, LONG maximum = INT_MAX)
        : m_value(value), m_minimum(minimum), m_maximum(maximum)
    {
    }

    CProperty* Clone() const override { return new CPropInt(m_value, m_minimum, m_maximum); }
    bool CopyFrom(const CProperty* other) override;
    bool GetLimits(CProperty** minimum, CProperty** maximum) const override;
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    // Digits, and '-' only when the range reaches below zero.
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    // The leading integer of the text (no digits read as 0), within range.
    bool ParseText(const char* text) override;
    // '+' +1, '-' -1, ']' +10, '[' -10, clamped.
    void HandleStepKey(int key) override;

    LONG GetValue() const { return m_value; }
    // Takes the value only within minimum..maximum.
    void SetValue(LONG value);
    // Replaces both limits; the value stays as it is.
    void SetRange(LONG minimum, LONG maximum);
    LONG GetMinimum() const { return m_minimum; }
    LONG GetMaximum() const { return m_maximum; }

private:
    LONG m_value;
    LONG m_minimum;
    LONG m_maximum;
};
