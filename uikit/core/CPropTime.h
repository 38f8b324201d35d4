// A time in ticks shown as measure:beat:tick, or as hours:minutes:seconds:
// frames while the class-wide SMPTE display is on. Formats, parses and steps
// through a temporary measure:beat:tick (or SMPTE) property over the same
// time services, so both texts read exactly as those properties read them.
#pragma once

#include <climits>

#include "uikit/core/CProperty.h"

class CPropTime : public CProperty {
public:
    CPropTime(ISeqUI* context, LONG ticks = 0, LONG minimum = INT_MIN, LONG maximum = INT_MAX, BOOL smpteOffset = FALSE)
        : CProperty(context), m_value(ticks), m_minimum(minimum), m_maximum(maximum), m_smpteOffset(smpteOffset)
    {
    }

    // The copy does not take the offset flag.
    CProperty* Clone() const override { return new CPropTime(m_context, m_value, m_minimum, m_maximum); }
    bool CopyFrom(const CProperty* other) override;
    bool IsTime() const override { return true; }
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    bool ParseText(const char* text) override;
    void HandleStepKey(int key) override;
    virtual void FormatNumber(CString& out) const;

    LONG GetValue() const { return m_value; }

    // Off at start. UI thread.
    static void SetSmpteDisplay(bool on) { s_smpteDisplay = on; }
    static bool GetSmpteDisplay() { return s_smpteDisplay; }

private:
    static bool s_smpteDisplay;

    LONG m_value;
    LONG m_minimum;
    LONG m_maximum;
    BOOL m_smpteOffset;
};
