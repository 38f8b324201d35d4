#include "uikit/CBitmapCache.h"

#include "platform/res/Resources.h"
#include "platform/ui/BitmapResources.h"

CBitmapCache g_bitmapCache;

CBitmapCache::~CBitmapCache()
{
    for (auto& [id, entry] : m_entries)
        entry.bitmap->DeleteObject();
    m_entries.clear();
}

int CBitmapCache::AddRef(UINT id)
{
    auto it = m_entries.find(id);
    if (it != m_entries.end()) {
        ++it->second.refs;
        return 1;
    }
    // The resource module first (a localised build may carry its own
    // bitmaps), then the program's.
    const UINT resource = id & 0xFFFF;
    HBITMAP handle = LoadBitmapA(AfxGetResourceHandle(), resource);
    if (!handle)
        handle = LoadBitmapA(AfxGetInstanceHandle(), resource);
    auto bitmap = std::make_unique<CBitmap>();
    if (handle)
        bitmap->Attach(handle);
    m_entries.emplace(id, Entry{std::move(bitmap), 1});
    return 1;
}

int CBitmapCache::Release(UINT id)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return 0;
    if (--it->second.refs <= 0) {
        it->second.bitmap->DeleteObject();
        m_entries.erase(it);
    }
    return 1;
}

CBitmap* CBitmapCache::Lookup(UINT id) const
{
    auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : it->second.bitmap.get();
}
