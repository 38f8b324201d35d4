// A time in ticks shown as SMPTE hours:minutes:seconds:frames
// ("%02u:%02u:%02u:%02u") through the song's time services, which do every
// conversion and read the text; with the offset flag the position counts from
// the SMPTE start offset. A position before zero is shown with a leading '-'.
//
// Without time services the text is empty, every parse fails and steps do
// nothing.
#pragma once

#include <climits>

#include "uikit/core/CProperty.h"

class CPropHMSF : public CProperty {
public:
    CPropHMSF(ISeqUI* context, LONG ticks = 0, LONG minimum = INT_MIN, LONG maximum = INT_MAX, BOOL smpteOffset = FALSE)
        : CProperty(context), m_value(ticks), m_minimum(minimum), m_maximum(maximum), m_smpteOffset(smpteOffset)
    {
    }

    CProperty* Clone() const override;
    bool CopyFrom(const CProperty* other) override;
    bool IsTime() const override { return true; }
    void GetVariant(VARIANT* out) const override;
    bool SetVariant(const VARIANT& in) override;
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    bool ParseText(const char* text) override;
    // '+' and '-' one frame, ']' the next whole second, '[' the previous
    // whole second (borrowing from minutes and hours); clamped.
    void HandleStepKey(int key) override;
    virtual void FormatNumber(CString& out) const;

    LONG GetValue() const { return m_value; }

private:
    // Frame count as shown: the SMPTE offset taken off when the flag is set.
    LONGLONG ShownFrames(LONG ticks) const;
    LONG TicksOfShownFrames(LONGLONG frames) const;

    LONG m_value;
    LONG m_minimum;
    LONG m_maximum;
    BOOL m_smpteOffset;
};
