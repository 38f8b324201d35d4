// What the generic dialogs and pages share: the table that binds control
// ids to typed properties (not owned), the snapshots of those properties
// taken when the dialog starts (owned) and the items made for the bound
// controls (owned), with the steps every dialog of the family takes on
// them: start, data exchange with validation, restore on Cancel, free when
// the window goes, and the double-click that acts like the OK button.
// UI thread only.
#pragma once

#include <map>
#include <memory>

#include "platform/ui/CDialog.h"
#include "uikit/CDlgItem.h"
#include "uikit/core/CProperty.h"

class CDlgBindingTable {
public:
    explicit CDlgBindingTable(DWORD owner = 0) : m_owner(owner) {}
    ~CDlgBindingTable();
    CDlgBindingTable(const CDlgBindingTable&) = delete;
    CDlgBindingTable& operator=(const CDlgBindingTable&) = delete;

    // False when the id is bound already (the first binding stays).
    bool Bind(int id, CProperty* property);
    // Snapshots of every bound property, and an item for each bound control
    // of a class that has one, attached.
    void Start(CWnd* dialog);
    // Save: every item checks its control in id order, the first that fails
    // fails the exchange on its control; only then all save. Load: all load.
    void Exchange(CDataExchange* dx);
    // Every bound property takes its snapshot's value back.
    void Restore();
    // Deletes snapshots and items; the bindings stay.
    void Free();
    // A double click in a list or combo box, or on a radio button, posts the
    // OK button's click to the dialog, so it acts as the OK button would.
    static void RouteDoubleClick(CWnd* dialog, WPARAM wParam, LPARAM lParam);
    // The item for a control by its class name and button type; null for none.
    static std::unique_ptr<CDlgItem> MakeItem(CWnd* control, CProperty* property);

    DWORD Owner() const { return m_owner; }
    bool HasItem(int id) const { return m_items.count(id) != 0; }

private:
    DWORD m_owner;
    std::map<int, CProperty*> m_bound;
    std::map<int, std::unique_ptr<CProperty>> m_snapshots;
    std::map<int, std::unique_ptr<CDlgItem>> m_items;
};
