// A time shown as measure:beat:tick ("%d:%2d:%03d") through the song's time
// services. The value and its limits are ticks in 48.16 fixed point, so the
// '+' and '-' steps of one display tick stay exact whatever the song's
// resolution; the tick count of a value rounds half up.
//
// Without time services the text is empty, every parse fails and steps do
// nothing.
#pragma once

#include "uikit/core/CProperty.h"

class CPropMBT : public CProperty {
public:
    // Tick counts; a null pointer counts as 0 for the value and as the end of
    // the 32-bit range for a limit.
    CPropMBT(ISeqUI* context, const LONG* ticks, const LONG* minimum, const LONG* maximum);
    // Values already in 48.16 fixed point.
    CPropMBT(ISeqUI* context, LONGLONG value, LONGLONG minimum, LONGLONG maximum)
        : CProperty(context), m_value(value), m_minimum(minimum), m_maximum(maximum)
    {
    }

    CProperty* Clone() const override { return new CPropMBT(m_context, m_value, m_minimum, m_maximum); }
    bool CopyFrom(const CProperty* other) override;
    bool IsTime() const override { return true; }
    // The rounded ticks.
    void GetVariant(VARIANT* out) const override;
    // A tick count, within range.
    bool SetVariant(const VARIANT& in) override;
    // Digits, ':', ' ', '|' and '.'.
    bool IsValidChar(int ch) const override { return IsTimeChar(ch); }
    void FormatText(CString& out) const override;
    bool ParseText(const char* text) override;
    // '+' and '-' one display tick (960 of them per quarter), ']' and '[' the
    // next and previous beat; clamped.
    void HandleStepKey(int key) override;
    virtual void FormatNumber(CString& out) const;

    LONG GetTicks() const { return RoundTicks(m_value); }
    LONGLONG GetFixed() const { return m_value; }

    static bool IsTimeChar(int ch);
    static LONG RoundTicks(LONGLONG fixed);

private:
    LONGLONG m_value;
    LONGLONG m_minimum;
    LONGLONG m_maximum;
};
