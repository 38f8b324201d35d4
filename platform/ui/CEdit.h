// The "Edit" control: one line of text (or several with ES_MULTILINE) in its
// window text, a selection whose end is the caret, typed characters
// (WM_CHAR) replacing the selection, Backspace and Delete, the caret keys
// Left, Right, Home and End (Shift extends), an optional length limit, one
// level of undo, and WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR and WM_UNDO with the
// system clipboard. Every change tells the parent EN_CHANGE. Gaining the
// focus selects everything, so the next character replaces the text, unless
// the owner places the selection itself (SetSelectAllOnFocus(false)). It
// paints itself in the font it is given, or the controls' font. UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"

class CFont;

constexpr DWORD ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_MULTILINE = 0x4, ES_AUTOHSCROLL = 0x80,
                ES_READONLY = 0x800, ES_NUMBER = 0x2000;
constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1;
constexpr WORD EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300;

class CEdit : public CControlWnd {
public:
    static constexpr const char* kClassName = "Edit";

    virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    using CWnd::Create;

    // -1 as end means the end of the text; -1 as start keeps the caret where
    // it is and drops the selection.
    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;
    // Replaces the selection with `text` (the text the user would type).
    void ReplaceSel(LPCSTR text);
    // -1 (or 0): no limit.
    void LimitText(int maximum) { m_limit = maximum > 0 ? maximum : -1; }
    void Undo();
    void Copy();
    void Cut();
    void Paste();
    void SetFont(CFont* font) { m_font = font; }
    CFont* GetFont() const { return m_font; }
    int GetLength() const { return GetWindowText().GetLength(); }
    void SetSelectAllOnFocus(bool on) { m_selectAllOnFocus = on; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void OnKillFocus(CWnd* newWnd) override;

private:
    void SetText(const CString& text, int caret);
    CFont* TextFont() const;

    int m_anchor = 0;
    int m_caret = 0;
    int m_limit = -1;
    bool m_selectAllOnFocus = true;
    CString m_undoText;
    CFont* m_font = nullptr;
};
