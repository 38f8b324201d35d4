// The tool-tip control: a small pop-up window that shows a text for a tool
// (a child window, or a rectangle of a window) once the pointer has rested
// on it for the initial delay, and hides again on a button press, when the
// pointer leaves the tool, or after the auto-pop delay.
//
// The tip sees the pointer only through relayed messages (TTM_RELAYEVENT,
// RelayEvent): the tool's window hands it its mouse messages. A callback
// tool's text comes from its window at need: the tip sends it WM_NOTIFY with
// TTN_NEEDTEXT. The tip opens below the pointer, by the height of the
// pointer's image, kept inside the virtual screen. It draws its text in the
// tool-tip colours (COLOR_INFOBK, COLOR_INFOTEXT); its window text is the
// text it shows. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CWnd.h"
#include "platform/ui/CommCtrl.h"

class CToolTipCtrl : public CWnd {
public:
    CToolTipCtrl() = default;

    // A pop-up window that belongs to `owner` (TTS_ALWAYSTIP and the other
    // tip styles in `style`). The tips start active.
    virtual BOOL Create(CWnd* owner, DWORD style = 0);
    using CWnd::Create;

    BOOL AddTool(CWnd* window, LPCSTR text, LPCRECT rect, UINT_PTR toolId);
    void DelTool(CWnd* window, UINT_PTR toolId);
    void SetToolRect(CWnd* window, UINT_PTR toolId, LPCRECT rect);
    void RelayEvent(MSG* msg);
    void Activate(BOOL activate);
    void SetDelayTime(WPARAM which, int milliseconds);
    int GetToolCount() const { return static_cast<int>(m_tools.size()); }
    void Pop();
    // The tool the pointer rests on (its id), and whether one does.
    bool GetCurrentTool(TOOLINFO* tool) const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:
    struct Tool {
        TOOLINFO info;
        CString text;  // the tool's own text when it was given as a string
    };
    Tool* Find(HWND owner, UINT_PTR id);
    Tool* ToolAt(const MSG& msg);
    void Show();
    CString TextOf(Tool& tool);

    std::vector<Tool> m_tools;
    HWND m_owner = nullptr;
    bool m_active = true;
    bool m_current = false;
    HWND m_currentOwner = nullptr;
    UINT_PTR m_currentId = 0;
    int m_initialDelay = 500;
    int m_autoPopDelay = 5000;
    int m_reshowDelay = 100;
};
