// A MIDI note shown as a note name ("C 5", "F#3"). The value's low byte is
// the note 0..127, or a pitch class with bit 7 set; the second byte is the
// spelling the user typed (0 as the key row spells it, 1 raised, 2 plain,
// 3 lowered). Steps move the note without clamping: a step that would leave
// the range does nothing.
#pragma once

#include "uikit/core/CProperty.h"

class CPropPitch : public CProperty {
public:
    CPropPitch(LONG value = 60, LONG keyRow = 0, LONG minimum = 0, LONG maximum = 127)
        : m_value(value), m_minimum(minimum), m_maximum(maximum), m_keyRow(keyRow)
    {
    }

    CProperty* Clone() const override { return new CPropPitch(m_value, m_keyRow, m_minimum, m_maximum); }
    bool CopyFrom(const CProperty* other) override;
    bool IsPitch() const override { return true; }
    void GetVariant(VARIANT* out) const override;
    // A note 0..127, whatever the range.
    bool SetVariant(const VARIANT& in) override;
    bool IsValidChar(int ch) const override;
    void FormatText(CString& out) const override;
    bool ParseText(const char* text) override;
    void HandleStepKey(int key) override;
    virtual void FormatNumber(CString& out) const;

    LONG GetValue() const { return m_value; }
    int GetNote() const { return m_value & 0xFF; }
    int GetSpelling() const { return (m_value >> 8) & 0xFF; }

private:
    LONG m_value;
    LONG m_minimum;
    LONG m_maximum;
    LONG m_keyRow;
};
