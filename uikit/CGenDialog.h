// A dialog that binds control ids to typed properties instead of writing
// its own data exchange (derived dialogs call AddItem in their
// constructors): at start it snapshots the properties and makes an item for
// each bound control; OK saves and validates (a value that does not parse
// keeps the dialog open on its control), Cancel puts the properties back as
// they were at start. With the painter flag it wears the studio's caption
// and background (CDialogPainter). The dialog may run again; it then takes
// new snapshots. UI thread only.
#pragma once

#include <memory>

#include "platform/ui/CDialog.h"
#include "uikit/CDialogPainter.h"
#include "uikit/CDlgBindingTable.h"

class CGenDialog : public CDialog {
public:
    CGenDialog(UINT templateId, CWnd* parent = nullptr, bool withPainter = true);

    // Binds control `id` to `property` (not owned); false when `id` is bound already.
    bool AddItem(int id, CProperty* property);
    CDialogPainter* Painter() const { return m_painter.get(); }

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

protected:
    CDlgBindingTable m_bindings;

private:
    std::unique_ptr<CDialogPainter> m_painter;
    bool m_withPainter;
};
