// An undoable container over a growable array: the key is a signed 32-bit
// index. Insert accepts 0..size (size appends); Set, Remove and Get accept
// 0..size-1. Later elements move up on Insert and down on Remove.
// The container does not own what pointer elements point to.
#pragma once

#include <algorithm>
#include <vector>

#include "model/CUndoContainer.h"

template <class T>
class CUndoVector : public CUndoContainer<int, T> {
public:
    HRESULT Insert(const int& index, const T& value) override
    {
        if (index < 0 || index > GetSize())
            return E_INVALIDARG;
        m_items.insert(m_items.begin() + index, value);
        return S_OK;
    }

    HRESULT Set(const int& index, const T& value) override
    {
        if (!IsValidIndex(index))
            return E_INVALIDARG;
        m_items[static_cast<std::size_t>(index)] = value;
        return S_OK;
    }

    HRESULT Remove(const int& index) override
    {
        if (!IsValidIndex(index))
            return E_INVALIDARG;
        m_items.erase(m_items.begin() + index);
        return S_OK;
    }

    HRESULT Get(const int& index, T* out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (!IsValidIndex(index))
            return E_INVALIDARG;
        *out = m_items[static_cast<std::size_t>(index)];
        return S_OK;
    }

    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsValidIndex(int index) const { return index >= 0 && index < GetSize(); }
    const T& operator[](int index) const { return m_items[static_cast<std::size_t>(index)]; }

protected:
    // The last element whose field (ascending over the vector) is not after
    // the key; -1 when the first one already is.
    template <class Key, class Field>
    int LastIndexNotAfter(Key key, Field field) const
    {
        auto it = std::upper_bound(m_items.begin(), m_items.end(), key,
                                   [&](const Key& k, const T& e) { return k < field(e); });
        return static_cast<int>(it - m_items.begin()) - 1;
    }

    // The indices of the elements `picked` accepts, added to `indices`, which
    // must come empty: E_POINTER for none, E_INVALIDARG when not empty,
    // S_FALSE when there are no elements.
    template <class Pick>
    HRESULT PickedIndices(std::vector<int>* indices, Pick picked) const
    {
        if (indices == nullptr)
            return E_POINTER;
        if (!indices->empty())
            return E_INVALIDARG;
        if (GetSize() == 0)
            return S_FALSE;
        for (int i = 0; i < GetSize(); ++i)
            if (picked((*this)[i]))
                indices->push_back(i);
        return S_OK;
    }

    // Direct access for the derived class's own overrides and recomputation.
    T& At(int index) { return m_items[static_cast<std::size_t>(index)]; }
    std::vector<T>& Items() { return m_items; }
    const std::vector<T>& Items() const { return m_items; }

private:
    std::vector<T> m_items;
};
