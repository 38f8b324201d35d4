// A menu as data: an ordered list of items, each a command (an id and a
// text), a separator, or a pop-up with a menu of its own. The plug-in lists
// build their cascading menus into it; the window layer shows it and routes
// a chosen command id back. It owns its pop-ups.
//
// UI thread only, like the menus it stands for.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

class CMenuModel {
public:
    enum class ItemKind { Command, Separator, Popup };

    struct Item {
        ItemKind kind = ItemKind::Command;
        std::string text;
        UINT commandId = 0;
        std::unique_ptr<CMenuModel> popup;  // set for ItemKind::Popup only
    };

    int GetItemCount() const { return static_cast<int>(m_items.size()); }
    // `position` must be below GetItemCount().
    const Item& GetItem(int position) const { return m_items[static_cast<std::size_t>(position)]; }
    // The first item with exactly this text; -1 when none has it.
    int FindItem(const std::string& text) const;

    // A position past the end appends.
    void InsertCommand(int position, UINT commandId, std::string text);
    void InsertSeparator(int position);
    void AppendCommand(UINT commandId, std::string text);
    void AppendPopup(std::string text, std::unique_ptr<CMenuModel> popup);
    // Puts a pop-up in the place of the item at `position`.
    void ReplaceWithPopup(int position, std::string text, std::unique_ptr<CMenuModel> popup);
    void RemoveItem(int position);

private:
    void Insert(int position, Item item);

    std::vector<Item> m_items;
};
