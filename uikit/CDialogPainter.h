// The studio's look for the dialogs, property pages and sheets of the dialog
// toolkit, put on a dialog by hooking its window procedure (the dialog keeps
// its own class and code): a gradient caption band with its own close button
// and a raised frame (when the profile's "NoCaptionDraw" is 0; by default
// the dialog keeps the system caption), a shaded strip along the bottom of
// the client area, and section headers: a text label without id followed by
// an etched rule without id becomes one caption-coloured header bar. A tool
// window only gets the background; a property page keeps the system's
// background and frame and only gets header bars. UI thread only.
#pragma once

#include "uikit/CSubclassWnd.h"

class CDialogPainter : public CSubclassWnd {
public:
    CDialogPainter() = default;

    // Sets the painter up for `dialog`, right after the dialog's initialisation.
    void Attach(CWnd* dialog);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Read from the application's profile by each Attach; 0 until then.
    static int s_noCaptionDraw;
    // The close button, in the dialog's window coordinates.
    CRect CloseButtonRect() const;
    bool IsClosePressed() const { return m_closePressed; }

private:
    static LRESULT HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool IsPropertyPage() const;
    void EraseBackground(CDC* dc);
    void PaintNonClient();
    void DrawCloseButton(CDC& dc);
    bool CursorOverClose(LPARAM clientPoint) const;

    CWnd* m_dialog = nullptr;
    bool m_closeTracking = false;
    bool m_closePressed = false;
    bool m_toolWindow = false;
    // The procedure the header labels had before (all of them share one).
    static WNDPROC s_labelProc;
};
