// A property sheet: a dialog that shows one of its pages at a time inside
// a tab control, with OK, Cancel, Apply (unless PSH_NOAPPLYNOW) and Help
// (with PSH_HASHELP) in a row below. Pages are made when first shown; moving
// to another page asks the current one first (OnKillActive). OK applies
// every page made so far (after the current one agreed to be left), Apply
// does the same and stays open; Cancel resets them. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CButton.h"
#include "platform/ui/CPropertyPage.h"
#include "platform/ui/CTabCtrl.h"

constexpr DWORD PSH_NOAPPLYNOW = 0x0080, PSH_HASHELP = 0x0200;
// Ids of the sheet's own controls: its tab control and its Apply button
// (OK, Cancel and Help are IDOK, IDCANCEL and IDHELP).
constexpr UINT AFX_IDC_TAB_CONTROL = 0x3020, ID_APPLY_NOW = 0x3021;

struct PROPSHEETHEADER {
    DWORD dwFlags = 0;
};

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
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    CTabCtrl* GetTabControl() { return &m_tab; }
    // Every page made so far applies; FALSE when one refuses.
    BOOL ApplyPages();

    PROPSHEETHEADER m_psh;

protected:
    void SetStartPage(UINT page) { m_startPage = page; }
    BOOL CreateDialogWindow(CWnd* parent) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    CString m_caption;
    std::vector<CPropertyPage*> m_pages;
    int m_active = -1;
    UINT m_startPage;
    CTabCtrl m_tab;
    CButton m_buttons[4];
};
