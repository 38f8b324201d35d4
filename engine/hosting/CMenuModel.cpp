#include "engine/hosting/CMenuModel.h"

#include <algorithm>
#include <cassert>

int CMenuModel::FindItem(const std::string& text) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].kind != ItemKind::Separator && m_items[i].text == text)
            return static_cast<int>(i);
    return -1;
}

void CMenuModel::Insert(int position, Item item)
{
    const std::size_t at = std::min(static_cast<std::size_t>(std::max(position, 0)), m_items.size());
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
}

void CMenuModel::InsertCommand(int position, UINT commandId, std::string text)
{
    Insert(position, Item{ItemKind::Command, std::move(text), commandId, nullptr});
}

void CMenuModel::InsertSeparator(int position)
{
    Insert(position, Item{ItemKind::Separator, {}, 0, nullptr});
}

void CMenuModel::AppendCommand(UINT commandId, std::string text)
{
    InsertCommand(GetItemCount(), commandId, std::move(text));
}

void CMenuModel::AppendPopup(std::string text, std::unique_ptr<CMenuModel> popup)
{
    Insert(GetItemCount(), Item{ItemKind::Popup, std::move(text), 0, std::move(popup)});
}

void CMenuModel::ReplaceWithPopup(int position, std::string text, std::unique_ptr<CMenuModel> popup)
{
    assert(position >= 0 && position < GetItemCount() && "no menu item at that position");
    m_items[static_cast<std::size_t>(position)] = Item{ItemKind::Popup, std::move(text), 0, std::move(popup)};
}

void CMenuModel::RemoveItem(int position)
{
    assert(position >= 0 && position < GetItemCount() && "no menu item at that position");
    m_items.erase(m_items.begin() + position);
}
