// An undoable container over an ordered map with unique keys, ascending by
// key (16-bit ids compare as signed numbers). Insert refuses a present key and
// keeps the stored value; Set, Remove and Get refuse an absent one.
// The map does not own what pointer elements point to: destroying it frees
// its own storage only.
#pragma once

#include <map>

#include "model/CUndoContainer.h"

template <class K, class V>
class CUndoMap : public CUndoContainer<K, V> {
public:
    virtual ~CUndoMap() = default;

    HRESULT Insert(const K& key, const V& value) override
    {
        return m_items.emplace(key, value).second ? S_OK : E_INVALIDARG;
    }

    HRESULT Set(const K& key, const V& value) override
    {
        auto it = m_items.find(key);
        if (it == m_items.end())
            return E_INVALIDARG;
        it->second = value;
        return S_OK;
    }

    HRESULT Remove(const K& key) override { return m_items.erase(key) != 0 ? S_OK : E_INVALIDARG; }

    HRESULT Get(const K& key, V* out) override
    {
        if (out == nullptr)
            return E_POINTER;
        auto it = m_items.find(key);
        if (it == m_items.end())
            return E_INVALIDARG;
        *out = it->second;
        return S_OK;
    }

    int GetSize() const { return static_cast<int>(m_items.size()); }
    const std::map<K, V>& Items() const { return m_items; }

private:
    std::map<K, V> m_items;
};
