// The "ComboBox" control as a drop-down list (CBS_DROPDOWNLIST): a face that
// shows the selected item's text with a drop-down button, and a list of
// texts with 32-bit item values that drops below the face. A click on the
// face, F4 or Alt+Down drops the list (the parent hears CBN_DROPDOWN first);
// a click on an item selects it and closes the list; Escape, Enter or losing
// the focus close it (CBN_CLOSEUP). Up, Down, Home and End move the
// selection without dropping. A change the user makes tells the parent
// CBN_SELCHANGE; one the program makes does not. The dropped list is at
// least as wide as the face, or as the dropped width when that is wider.
// UI thread only.
#pragma once

#include <memory>

#include "platform/ui/CListControl.h"

class CListBox;

constexpr int CB_ERR = -1;
constexpr WORD CBN_SELCHANGE = 1, CBN_SETFOCUS = 3, CBN_KILLFOCUS = 4, CBN_DROPDOWN = 7, CBN_CLOSEUP = 8;
constexpr DWORD CBS_DROPDOWNLIST = 0x0003, CBS_SORT = 0x0100;
constexpr UINT CB_GETDROPPEDWIDTH = 0x015F, CB_SETDROPPEDWIDTH = 0x0160;

class CComboBox : public CListControl {
public:
    static constexpr const char* kClassName = "ComboBox";

    CComboBox();
    ~CComboBox() override;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    using CWnd::Create;

    int GetLBText(int index, CString& text) const { return m_items.GetText(index, text); }
    CString GetLBText(int index) const { return m_items.Text(index); }
    // The index of the first item with this value; CB_ERR when none.
    int FindItemData(DWORD_PTR data) const { return m_items.FindData(data); }

    // The least width of the dropped list in pixels.
    int GetDroppedWidth() const { return m_droppedWidth; }
    int SetDroppedWidth(int width);
    void ShowDropDown(BOOL show = TRUE);
    BOOL GetDroppedState() const;
    // The dropped list while it is shown, else null.
    CListBox* GetDroppedList() const;
    CFont* GetFont() const { return ControlFont(); }

protected:
    void OnItemsChanged(bool selected) override;
    // Just before the list drops (before the parent hears CBN_DROPDOWN).
    virtual void OnDropDown() {}

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnSysKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void OnKillFocus(CWnd* newWnd) override;
    void OnDestroy() override;

private:
    class DropList;
    friend class DropList;

    void SelectByUser(int index);
    void CloseUp();

    int m_droppedWidth = 0;
    std::unique_ptr<DropList> m_list;
};
