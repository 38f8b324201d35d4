// A property sheet: a dialog that shows one of its pages at a time. Pages
// are made when first shown; moving to another page asks the current one
// first (OnKillActive). OK applies every page made so far (after the
// current one agreed to be left); Cancel resets them. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CPropertyPage.h"

class CPropertySheet : public CDialog {
public:
    explicit CPropertySheet(LPCSTR caption = nullptr, CWnd* parent = nullptr, UINT startPage = 0);

    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    CPropertyPage* GetActivePage() const { return GetPage(m_active); }
    int GetActiveIndex() const { return m_active; }
    // FALSE when the current page refuses to be left or the page cannot be made.
    BOOL SetActivePage(int index);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

protected:
    BOOL CreateDialogWindow(CWnd* parent) override;

private:
    CString m_caption;
    std::vector<CPropertyPage*> m_pages;
    int m_active = -1;
    UINT m_startPage;
};
