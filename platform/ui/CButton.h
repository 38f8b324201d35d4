// The "Button" control: push buttons, check boxes, radio buttons and group
// boxes, by the low four bits of the style. A click (press and release on
// it) of an automatic check box flips it, of an automatic radio button
// checks it and clears the other automatic radio buttons of its group (up to
// the next window with WS_GROUP); every click tells the parent BN_CLICKED.
// A double click on a radio button tells it BN_DOUBLECLICKED. UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"

constexpr DWORD BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_CHECKBOX = 0x2,
                BS_AUTOCHECKBOX = 0x3, BS_RADIOBUTTON = 0x4, BS_3STATE = 0x5, BS_AUTO3STATE = 0x6,
                BS_GROUPBOX = 0x7, BS_AUTORADIOBUTTON = 0x9, BS_OWNERDRAW = 0xB, BS_TYPEMASK = 0xF;
constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_CLICK = 0x00F5;
constexpr int BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2;
constexpr WORD BN_CLICKED = 0, BN_DOUBLECLICKED = 5;

class CButton : public CControlWnd {
public:
    BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const;
    void SetCheck(int check);
    DWORD ButtonType() const { return GetStyle() & BS_TYPEMASK; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnCaptureChanged(CWnd* newCapture) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;

private:
    bool IsRadio() const;
    void Click();
    void Draw(CDC& dc);

    int m_check = BST_UNCHECKED;
    bool m_tracking = false;
    bool m_pushed = false;
};
