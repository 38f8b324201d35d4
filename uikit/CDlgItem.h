// One bound control of a generic dialog: moves the value between the
// control and its typed property (not owned), and checks the control's
// content before it is saved. Each control class has its item
// (CDlgItemEdit, CDlgItemCheckBox, CDlgItemRadioGroup, CDlgItemSlider,
// CDlgItemStatic); `owner` is the dialog's owner value. UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

class CProperty;

class CDlgItem {
public:
    explicit CDlgItem(CProperty* property) : m_property(property) {}
    virtual ~CDlgItem() = default;
    CDlgItem(const CDlgItem&) = delete;
    CDlgItem& operator=(const CDlgItem&) = delete;

    virtual void Attach(int id, CWnd* dialog, DWORD owner);
    virtual bool Validate(int id, CWnd* dialog, DWORD owner);
    // save: control to property; otherwise property to control.
    virtual void Exchange(bool save, int id, CWnd* dialog, DWORD owner) = 0;

    CProperty* Property() const { return m_property; }

protected:
    // The property's value as a 32-bit integer (0 when it has none).
    static LONG IntegerOf(const CProperty& property);

    CProperty* m_property;
};
