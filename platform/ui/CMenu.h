// A menu: items with command ids, texts, enabled and checked states, and
// pop-up submenus. TrackPopupMenu shows it at a screen point; with
// TPM_RETURNCMD it returns the chosen command id (0 for none) instead of
// sending WM_COMMAND. A disabled item is never chosen. Before showing, the
// owner gets WM_INITMENUPOPUP so update handlers can set the items.
// UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/GdiTypes.h"
#include "platform/ui/WinUser.h"
#include "platform/win/CString.h"

class CWnd;

class CMenu {
public:
    struct Item {
        UINT flags = 0;  // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR, MF_POPUP
        UINT id = 0;
        CString text;
        std::shared_ptr<CMenu> popup;
    };

    BOOL CreatePopupMenu();
    BOOL CreateMenu() { return CreatePopupMenu(); }
    BOOL DestroyMenu();
    BOOL AppendMenu(UINT flags, UINT_PTR idOrPopup = 0, LPCSTR text = nullptr);
    // A submenu: the menu is copied in (its items, not the object).
    BOOL AppendPopup(UINT flags, const CMenu& popup, LPCSTR text);
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id, LPCSTR text);
    BOOL RemoveMenu(UINT position, UINT flags);
    BOOL DeleteMenu(UINT position, UINT flags) { return RemoveMenu(position, flags); }
    // Previous state (MF_GRAYED | MF_DISABLED bits), or -1 when there is no such item.
    UINT EnableMenuItem(UINT idOrPosition, UINT flags);
    UINT CheckMenuItem(UINT idOrPosition, UINT flags);
    UINT GetMenuState(UINT idOrPosition, UINT flags) const;
    int GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const;
    int GetMenuString(UINT idOrPosition, CString& text, UINT flags) const;
    CMenu* GetSubMenu(int position) const;
    BOOL ModifyMenu(UINT idOrPosition, UINT flags, UINT_PTR newId, LPCSTR text);
    // Shows the menu; see above. `owner` receives WM_INITMENUPOPUP and, without
    // TPM_RETURNCMD, the posted WM_COMMAND of the choice.
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);

    const std::vector<Item>& Items() const { return m_items; }
    bool IsCreated() const { return m_created; }

private:
    Item* Find(UINT idOrPosition, UINT flags);
    const Item* Find(UINT idOrPosition, UINT flags) const;

    bool m_created = false;
    std::vector<Item> m_items;
};

namespace mvui {
// Who picks from a shown menu: by default the user through a Qt menu; tests
// put a function that answers with an id (0 for none). Null restores the default.
using MenuChooser = std::function<UINT(const CMenu& menu, POINT at)>;
void SetMenuChooser(MenuChooser chooser);
}  // namespace mvui
