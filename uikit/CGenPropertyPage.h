// A property page that binds control ids to typed properties (as
// CGenDialog does) and saves and loads the values of all its properties
// through a stream (IPersistStream): one variant per property added, in the
// order added, bound to a control or not (id -1). Apply saves the controls
// into the properties; Cancel and Reset put back the values from when the
// page was made. Reference counting, GetClassID and IsDirty are the derived
// page's. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/Persist.h"
#include "platform/ui/CPropertyPage.h"
#include "uikit/CDialogPainter.h"
#include "uikit/CDlgBindingTable.h"

class CGenPropertyPage : public CPropertyPage, public IPersistStream {
public:
    CGenPropertyPage(UINT templateId, UINT captionId);

    // Records `property` for the stream; any id but -1 also binds it to that control.
    bool AddItem(int id, CProperty* property);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnApply() override;
    void OnReset() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD(Load)(IStream* stream) override;
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) override;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;

    CDialogPainter* Painter() const { return m_painter.get(); }

protected:
    CDlgBindingTable m_bindings;
    std::vector<CProperty*> m_pageProperties;

private:
    std::unique_ptr<CDialogPainter> m_painter;
};
