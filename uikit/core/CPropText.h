// A text of at most a given number of characters. Every character may be
// typed; there are no steps and no limits.
#pragma once

#include "uikit/core/CProperty.h"

class CPropText : public CProperty {
public:
    CPropText(const char* text = "", UINT maxLength = 255) : m_text(text), m_maxLength(maxLength) {}

    CProperty* Clone() const override { return new CPropText(m_text, m_maxLength); }
    bool CopyFrom(const CProperty* other) override;
    bool CanStep() const override { return false; }
    bool IsText() const override { return true; }
    void GetVariant(VARIANT* out) const override;
    // Any text that fits the maximum length, as ParseText.
    bool SetVariant(const VARIANT& in) override;
    bool IsValidChar(int ch) const override { return true; }
    void FormatText(CString& out) const override { out = m_text; }
    bool ParseText(const char* text) override;
    void HandleStepKey(int key) override {}

    const CString& GetText() const { return m_text; }
    UINT GetMaxLength() const { return m_maxLength; }

private:
    bool Fits(const CString& text) const { return static_cast<UINT>(text.GetLength()) <= m_maxLength; }

    CString m_text;
    UINT m_maxLength;
};
