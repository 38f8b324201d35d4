// A typed property: a small value object that shows itself as text, reads
// itself back from text, filters the characters that may be typed into it,
// steps itself with the keys '+', '-', ']' and '[', converts to and from a
// variant and reports its limits. Grid cells, edit controls, inspectors and
// parameter strips hold one per editable value and ask it, never the value
// type.
//
// Invariant: a failed ParseText or SetVariant keeps the old value; steps
// never leave the range (pitches do not move instead of clamping). Clone and
// GetLimits hand out new objects that the caller deletes. The context is the
// song's time services for the time properties and null for the others.
//
// UI thread only.
#pragma once

#include "platform/com/Variant.h"
#include "platform/win/CString.h"

class ISeqUI;

class CProperty {
public:
    explicit CProperty(ISeqUI* context = nullptr) : m_context(context) {}
    virtual ~CProperty() = default;

    CProperty(const CProperty&) = delete;
    CProperty& operator=(const CProperty&) = delete;

    virtual CProperty* Clone() const = 0;
    // Takes the value and limits of another property of the same class;
    // false for any other class.
    virtual bool CopyFrom(const CProperty* other) = 0;
    virtual bool CanStep() const { return true; }
    // New properties holding the minimum and the maximum, or null in both
    // and false for a class without limits.
    virtual bool GetLimits(CProperty** minimum, CProperty** maximum) const;
    virtual bool IsTime() const { return false; }
    virtual bool IsText() const { return false; }
    virtual bool IsPitch() const { return false; }
    virtual void GetVariant(VARIANT* out) const = 0;
    virtual bool SetVariant(const VARIANT& in) = 0;
    virtual bool IsValidChar(int ch) const = 0;
    virtual void FormatText(CString& out) const = 0;
    virtual bool ParseText(const char* text) = 0;
    // key is '+', '-', ']' or '['; any other key leaves the value alone.
    virtual void HandleStepKey(int key) = 0;

    ISeqUI* GetContext() const { return m_context; }

protected:
    ISeqUI* m_context;
};
