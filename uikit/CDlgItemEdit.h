// An edit control bound to a property: the text is parsed into the property
// on save and is the property's formatted text on load. A text that does
// not parse fails the check, after the range message when the property has
// limits. The control is hooked so that it takes only the characters the
// property accepts and, when the property steps, steps with '+', '-', ']'
// and '['.
#pragma once

#include <memory>

#include "uikit/CDlgItem.h"
#include "uikit/CSubclassWnd.h"

class CDlgItemEdit : public CDlgItem {
public:
    using CDlgItem::CDlgItem;

    void Attach(int id, CWnd* dialog, DWORD owner) override;
    bool Validate(int id, CWnd* dialog, DWORD owner) override;
    void Exchange(bool save, int id, CWnd* dialog, DWORD owner) override;

private:
    std::unique_ptr<CSubclassWnd> m_editHook;
};
