#include "platform/ui/CMenu.h"

#include <QAction>
#include <QMenu>

#include "platform/ui/CWnd.h"

namespace {

mvui::MenuChooser& Chooser()
{
    static mvui::MenuChooser chooser;
    return chooser;
}

// An enabled, non-separator item of that id anywhere in the menu.
bool Choosable(const CMenu& menu, UINT id)
{
    for (const CMenu::Item& item : menu.Items()) {
        if (item.popup) {
            if (Choosable(*item.popup, id))
                return true;
        } else if (!(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) && item.id == id) {
            return true;
        }
    }
    return false;
}

void Fill(QMenu& q, const CMenu& menu)
{
    for (const CMenu::Item& item : menu.Items()) {
        if (item.flags & MF_SEPARATOR) {
            q.addSeparator();
            continue;
        }
        QString text = QString::fromUtf8(item.text.GetString());
        if (item.popup) {
            QMenu* sub = q.addMenu(text);
            Fill(*sub, *item.popup);
            sub->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
            continue;
        }
        QAction* a = q.addAction(text);
        a->setData(item.id);
        a->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
        a->setCheckable(item.flags & MF_CHECKED);
        a->setChecked(item.flags & MF_CHECKED);
    }
}

UINT ShowQtMenu(const CMenu& menu, POINT at)
{
    QMenu q;
    Fill(q, menu);
    QAction* chosen = q.exec(QPoint(at.x, at.y));
    return chosen ? chosen->data().toUInt() : 0;
}

}  // namespace

BOOL CMenu::CreatePopupMenu()
{
    m_items.clear();
    m_created = true;
    return TRUE;
}

BOOL CMenu::DestroyMenu()
{
    m_items.clear();
    m_created = false;
    return TRUE;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCSTR text)
{
    if (!m_created)
        return FALSE;
    m_items.push_back(Item{flags, static_cast<UINT>(id), text ? CString(text) : CString(), nullptr});
    return TRUE;
}

BOOL CMenu::AppendPopup(UINT flags, const CMenu& popup, LPCSTR text)
{
    if (!m_created)
        return FALSE;
    m_items.push_back(Item{flags | MF_POPUP, 0, text ? CString(text) : CString(), std::make_shared<CMenu>(popup)});
    return TRUE;
}

BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR id, LPCSTR text)
{
    if (!m_created)
        return FALSE;
    const std::size_t at = std::min<std::size_t>(position, m_items.size());
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at),
                   Item{flags & ~MF_BYPOSITION, static_cast<UINT>(id), text ? CString(text) : CString(), nullptr});
    return TRUE;
}

CMenu::Item* CMenu::Find(UINT key, UINT flags)
{
    return const_cast<Item*>(static_cast<const CMenu*>(this)->Find(key, flags));
}

const CMenu::Item* CMenu::Find(UINT key, UINT flags) const
{
    if (flags & MF_BYPOSITION)
        return key < m_items.size() ? &m_items[key] : nullptr;
    for (const Item& item : m_items) {
        if (item.popup) {
            if (const Item* inner = item.popup->Find(key, flags))
                return inner;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == key) {
            return &item;
        }
    }
    return nullptr;
}

BOOL CMenu::RemoveMenu(UINT position, UINT flags)
{
    const Item* item = Find(position, flags);
    if (!item)
        return FALSE;
    for (auto it = m_items.begin(); it != m_items.end(); ++it)
        if (&*it == item) {
            m_items.erase(it);
            return TRUE;
        }
    for (Item& i : m_items)
        if (i.popup && i.popup->RemoveMenu(position, flags))
            return TRUE;
    return FALSE;
}

UINT CMenu::EnableMenuItem(UINT key, UINT flags)
{
    Item* item = Find(key, flags);
    if (!item)
        return static_cast<UINT>(-1);
    const UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return old;
}

UINT CMenu::CheckMenuItem(UINT key, UINT flags)
{
    Item* item = Find(key, flags);
    if (!item)
        return static_cast<UINT>(-1);
    const UINT old = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
    return old;
}

UINT CMenu::GetMenuState(UINT key, UINT flags) const
{
    const Item* item = Find(key, flags);
    return item ? item->flags : static_cast<UINT>(-1);
}

int CMenu::GetMenuItemCount() const
{
    return m_created ? static_cast<int>(m_items.size()) : -1;
}

UINT CMenu::GetMenuItemID(int position) const
{
    if (position < 0 || position >= static_cast<int>(m_items.size()))
        return static_cast<UINT>(-1);
    const Item& item = m_items[static_cast<std::size_t>(position)];
    return item.popup ? static_cast<UINT>(-1) : (item.flags & MF_SEPARATOR) ? 0 : item.id;
}

int CMenu::GetMenuString(UINT key, CString& text, UINT flags) const
{
    const Item* item = Find(key, flags);
    text = item ? item->text : CString();
    return text.GetLength();
}

CMenu* CMenu::GetSubMenu(int position) const
{
    if (position < 0 || position >= static_cast<int>(m_items.size()))
        return nullptr;
    return m_items[static_cast<std::size_t>(position)].popup.get();
}

BOOL CMenu::ModifyMenu(UINT key, UINT flags, UINT_PTR newId, LPCSTR text)
{
    Item* item = Find(key, flags);
    if (!item)
        return FALSE;
    item->flags = flags & ~MF_BYPOSITION;
    item->id = static_cast<UINT>(newId);
    if (text)
        item->text = text;
    return TRUE;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT)
{
    if (!m_created)
        return FALSE;
    const HWND h = owner ? owner->m_hWnd : nullptr;
    if (IsWindow(h) && !(flags & TPM_NONOTIFY))
        ::SendMessage(h, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(this), 0);
    const POINT at{x, y};
    UINT chosen = Chooser() ? Chooser()(*this, at) : ShowQtMenu(*this, at);
    if (chosen && !Choosable(*this, chosen))
        chosen = 0;
    if (flags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    if (chosen && IsWindow(h))
        ::PostMessage(h, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), MV_CMD_FROM_MENU), 0);
    return chosen != 0;
}

namespace mvui {

void SetMenuChooser(MenuChooser chooser)
{
    Chooser() = std::move(chooser);
}

}  // namespace mvui
