// A caption bar that hosts a child frame and, through it, ordinary views:
// the studio's panels are view bars. The hosted frame fills the bar's
// client area; views inside it start a drag of the bar on a press that none
// of their controls takes ("vb_startdragging") and toggle its docking on a
// double click ("vb_toggledocking"), both with the mouse key flags and the
// point in the bar's client coordinates. Outside a dock bar both do
// nothing. UI thread only.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui/CCreateContext.h"
#include "platform/ui/CFrameWnd.h"
#include "uikit/CSizingControlBarCF.h"

class CDocument;

class CViewBar : public CSizingControlBarCF {
public:
    CViewBar();
    ~CViewBar() override;

    // The two registered messages, registered when the program starts.
    static UINT ToggleDockingMessage();
    static UINT StartDraggingMessage();

    // With a context its five values are taken; without, the main window is
    // the frame and its active document the document.
    virtual BOOL CreateViewBar(CWnd* parent, std::function<CView*()> viewClass, CCreateContext* context,
                               LPCSTR title, DWORD style, UINT id);
    // Reaches the hosted frame only while the bar floats.
    void InitialUpdateFrame(CDocument* document, BOOL visible);

    std::unique_ptr<CFrameWnd> hostedFrame;
    CCreateContext createContext;

protected:
    int OnCreate(CREATESTRUCT* cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
