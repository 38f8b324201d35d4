// The chunk payload of a list of persistent objects: a u32 count, then each
// object as a nested chunk of its own. Loading refuses a count that the
// chunk cannot hold (each object takes at least minChunkBytes) before
// anything is read, reads the objects into a list of its own and hands that
// list to `place` with the result of the reading, also when an object
// failed part-way: the owner decides whether what was read so far stays.
// The first failure is returned.
#pragma once

#include <vector>

#include "model/CKelPersistArchive.h"

constexpr DWORD kNestedListReserve = 1u << 16;

template <class T, class Place>
HRESULT PersistNestedList(CKelPersistArchive* archive, std::vector<T>& items, ULONGLONG minChunkBytes, Place&& place)
{
    DWORD count = static_cast<DWORD>(items.size());
    HRESULT hr = archive->PersistBytes(sizeof count, &count);
    if (FAILED(hr))
        return hr;
    if (archive->IsSaving()) {
        for (T& item : items)
            if (FAILED(hr = archive->PersistObject(&item)))
                return hr;
        return S_OK;
    }
    if (FAILED(hr = archive->CheckRemaining(count * minChunkBytes)))
        return hr;
    try {
        std::vector<T> loaded;
        // The count is bounded by the chunk, but where no chunk bounds the
        // archive it is not: room is made ahead only for a modest count.
        loaded.reserve(count < kNestedListReserve ? count : kNestedListReserve);
        for (DWORD i = 0; i < count && SUCCEEDED(hr); ++i) {
            T item;
            if (SUCCEEDED(hr = archive->PersistObject(&item)))
                loaded.push_back(std::move(item));
        }
        return place(loaded, hr);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
