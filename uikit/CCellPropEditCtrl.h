// The property editor of one cell of a grid or control view: shown over the
// cell, it runs its own loop until the edit ends and reports how it ended,
// so the caller can move on to the next cell. Escape cancels; Enter, Tab,
// Ctrl+Enter, Up and Down, Left at the start of the text and Right at its
// end commit (not in a multi-line edit), as do space and minus in a text
// property unless told otherwise. A text the property cannot read keeps the
// editor open with all of it selected. A press, a non-client click or a key
// meant for another window commits too, and that message still reaches its
// window; when the text cannot be read then, the edit is cancelled.
// UI thread only.
#pragma once

#include "uikit/CPropEditCtrl.h"

class CProperty;

class CCellPropEditCtrl : public CPropEditCtrl {
public:
    // Exit keys besides the virtual-key codes of the keys that end the edit.
    static constexpr int kCtrlEnter = 10;

    // The property is edited in place; it is not owned.
    CCellPropEditCtrl(CPropEditOwner* owner, CProperty* property, CNoteSource* noteSource = nullptr);

    // 1 when the property was changed (committed with a text other than the
    // starting one), else 0. sizeMode 1 or 2 fits the edit to the cell.
    int TrackEdit(CWnd* parent, const RECT& cell, UINT firstChar, int sizeMode, DWORD style, CFont* font);

    int GetExitKey() const { return m_exitKey; }
    bool IsCommitted() const { return m_commit; }
    void SetTextLimit(int limit) { m_textLimit = limit; }
    void SetNoSpaceExit(bool noExit) { m_noSpaceExit = noExit; }

    // Called once each loop has started (tests type into the editor with it).
    using LoopHook = void (*)(CCellPropEditCtrl* editor, void* context);
    static void SetLoopHook(LoopHook hook, void* context);

protected:
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnKillFocus(CWnd* newWnd) override;
    void OnCancelMode() override;

private:
    static bool Filter(MSG& msg, void* context);
    // The edit ended by one of its own keys (true) or from outside.
    void End(bool commit, int exitKey, bool ownKey);

    CProperty* m_property;
    bool m_done = false;
    bool m_commit = false;
    int m_exitKey = 0;
    int m_textLimit = -1;
    bool m_noSpaceExit = false;
    bool m_multiLine = false;
};
