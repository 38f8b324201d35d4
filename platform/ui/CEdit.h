// A small edit box: one line of text (or several with ES_MULTILINE) in its
// window text, a selection whose end is the caret, typed characters
// replacing the selection, Backspace and Delete, the caret keys Left,
// Right, Home and End, an optional length limit, one level of undo, and
// WM_CUT, WM_COPY, WM_PASTE and WM_UNDO with the system clipboard.
// It paints itself (window background, selection in the highlight colours)
// in the font it is given, or the default GUI font. UI thread only.
#pragma once

#include "platform/ui/CWnd.h"

class CFont;

constexpr UINT WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303, WM_UNDO = 0x0304;
constexpr DWORD ES_LEFT = 0x0000, ES_MULTILINE = 0x0004, ES_AUTOHSCROLL = 0x0080;

class CEdit : public CWnd {
public:
    static constexpr const char* kClassName = "Edit";
    CEdit() = default;

    virtual BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    using CWnd::Create;

    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;
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

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
    void OnLButtonDown(UINT flags, CPoint point) override;

private:
    void SetText(const CString& text, int caret);

    int m_anchor = 0;
    int m_caret = 0;
    int m_limit = -1;
    CString m_undoText;
    CFont* m_font = nullptr;
};
