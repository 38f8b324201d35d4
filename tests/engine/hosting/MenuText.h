// A menu written out on one line, so a test compares a whole menu at once:
// commands as text#id, separators as ---, pop-ups as title>[...], items
// joined by |.
#pragma once

#include <string>

#include "engine/hosting/CMenuModel.h"

namespace mvtest {

inline std::string MenuText(const CMenuModel& menu)
{
    std::string out;
    for (int i = 0; i < menu.GetItemCount(); ++i) {
        const CMenuModel::Item& item = menu.GetItem(i);
        if (i > 0)
            out += "|";
        switch (item.kind) {
        case CMenuModel::ItemKind::Command:
            out += item.text + "#" + std::to_string(item.commandId);
            break;
        case CMenuModel::ItemKind::Separator:
            out += "---";
            break;
        case CMenuModel::ItemKind::Popup:
            out += item.text + ">[" + MenuText(*item.popup) + "]";
            break;
        }
    }
    return out;
}

// A menu with a placeholder item among others, as the window layer's
// resource menus carry one.
inline CMenuModel MenuWithPlaceholder(const char* placeholder)
{
    CMenuModel menu;
    menu.AppendCommand(1, "Insert");
    menu.AppendCommand(2, placeholder);
    menu.AppendCommand(3, "Delete");
    return menu;
}

}  // namespace mvtest
