// A page of a property sheet: a dialog from a template, made as a child of
// its sheet when first shown. The sheet asks a page before it leaves it
// (OnKillActive: the data must validate) and tells every page made so far to
// apply (OnApply) on OK, or to reset (OnReset) on Cancel. UI thread only.
#pragma once

#include "platform/ui/CDialog.h"

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId, UINT captionId = 0) : CDialog(templateId), m_captionId(captionId) {}

    // The tab's text: the caption string's text, else the template's caption.
    CString GetCaption() const;

    virtual BOOL OnSetActive() { return TRUE; }
    // Leaving the page: the controls' data goes to the members first.
    virtual BOOL OnKillActive() { return UpdateData(TRUE); }
    virtual BOOL OnApply();
    virtual void OnReset();
    // A page ends nothing itself: OK and Cancel belong to its sheet.
    void OnOK() override {}
    void OnCancel() override {}
    void SetModified(BOOL changed = TRUE) { m_modified = changed; }
    BOOL IsModified() const { return m_modified; }
    BOOL CreatePage(CWnd* sheet);

private:
    BOOL m_modified = FALSE;
    UINT m_captionId;
};
