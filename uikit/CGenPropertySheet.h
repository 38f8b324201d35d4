// A property sheet that lays itself out for the studio: one page shows no
// tab; a tool-window sheet hugs its page; any other sheet puts its OK,
// Cancel and Help buttons in a column right of the page. It opens next time
// on the page that was showing when OK or Cancel closed it, and wears the
// studio's look (CDialogPainter). No Apply button; Help is offered.
// UI thread only.
#pragma once

#include <memory>

#include "platform/ui/CPropertySheet.h"
#include "uikit/CDialogPainter.h"

class CGenPropertySheet : public CPropertySheet {
public:
    // A null caption is the empty string.
    CGenPropertySheet(LPCSTR caption, CWnd* parent = nullptr, UINT firstPage = 0);

    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

    CDialogPainter* Painter() const { return m_painter.get(); }

private:
    void Layout();

    std::unique_ptr<CDialogPainter> m_painter;
};
