// The chunk payload of a map made of entries (tempo changes, time
// signatures): a u32 count, then each entry's own chunk-0 payload inline,
// without a chunk header of its own. Loading reads every entry before it
// touches the list and refuses an entry that `accept` refuses (E_INVALIDARG),
// so a chunk that cannot be read whole leaves the list as it was.
#pragma once

#include <vector>

#include "model/CKelPersistArchive.h"
#include "model/IKelPersist.h"

template <class Entry, class Accept>
HRESULT PersistEntryList(CKelPersistArchive* archive, std::vector<Entry>& items, ULONG entryBytes, Accept&& accept)
{
    const DWORD entryWord = MakeKelVersionWord(Entry::kMajor, 0);
    DWORD count = static_cast<DWORD>(items.size());
    HRESULT hr = archive->PersistBytes(sizeof count, &count);
    if (FAILED(hr))
        return hr;
    if (archive->IsSaving()) {
        for (std::size_t i = 0; i < items.size() && SUCCEEDED(hr); ++i)
            hr = items[i].PersistChunk(entryWord, archive);
        return hr;
    }
    if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * entryBytes)))
        return hr;
    std::vector<Entry> loaded;
    try {
        for (DWORD i = 0; i < count; ++i) {
            Entry entry;
            if (FAILED(hr = entry.PersistChunk(entryWord, archive)))
                return hr;
            if (!accept(entry))
                return E_INVALIDARG;
            loaded.push_back(entry);
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    items.swap(loaded);
    return S_OK;
}
