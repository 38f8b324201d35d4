// A boolean shown as "1" or "0".
#pragma once

#include "uikit/core/CProperty.h"

class CPropBool : public CProperty {
public:
    explicit CPropBool(bool value = false) : m_value(value ? 1 : 0) {}

    CProperty* Clone() const override { return new CPropBool(m_value != 0); }
    bool CopyFrom(const CProperty* other) override;
    bool GetLimits(CProperty** minimum, CProperty** maximum) const override;
    void GetVariant(VARIANT* out) const override;
    // Any number: non-zero is true.
    bool SetVariant(const VARIANT& in) override;
    bool IsValidChar(int ch) const override { return ch == '0' || ch == '1'; }
    void FormatText(CString& out) const override;
    // Exactly "1" or "0".
    bool ParseText(const char* text) override;
    // '+' and ']' set true, '-' and '[' false.
    void HandleStepKey(int key) override;

    bool GetValue() const { return m_value != 0; }
    void SetValue(bool value) { m_value = value ? 1 : 0; }

private:
    int m_value;
};
