// The "Edit" control: one line of text with a caret, typed into through
// WM_CHAR (printable characters insert, Backspace deletes before the caret)
// and moved in with Left, Right, Home, End and Delete. Every change tells the
// parent EN_CHANGE. Gaining the focus selects everything, so the next
// character replaces the text. UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"

constexpr DWORD ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_AUTOHSCROLL = 0x80,
                ES_READONLY = 0x800, ES_NUMBER = 0x2000;
constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1;
constexpr WORD EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300;

class CEdit : public CControlWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // -1 as end means the end of the text.
    void SetSel(int start, int end);
    void GetSel(int& start, int& end) const;
    // Replaces the selection with `text` (the text the user would type).
    void ReplaceSel(LPCSTR text);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void OnKillFocus(CWnd* newWnd) override;

private:
    void Changed();

    int m_selStart = 0;
    int m_selEnd = 0;
};
