// A sorted map from pointer-sized keys (pointers, handles) to pointer-sized
// values, kept in ascending order of the key compared as a signed integer,
// with unique keys and binary search. Keys are as wide as a pointer, so two
// pointers never share a key. Not locked: one thread at a time.
#pragma once

#include <cstdint>

#include "uikit/core/CGrowableArray.h"

class CPtrToPtrDict {
public:
    CPtrToPtrDict(int growBy = 16, int initialSize = 0, bool freeWhenEmpty = false);
    ~CPtrToPtrDict();

    // The index of the first element whose key is not smaller than `key`
    // (the count when every key is smaller).
    int Find(std::intptr_t key) const;
    // TRUE (and the value when `value` is given) when the key is present.
    BOOL Lookup(std::intptr_t key, std::uintptr_t* value) const;
    // Inserts the pair at its sorted place; FALSE, and nothing changed, when
    // the key is present or memory ran out.
    BOOL SetAt(std::intptr_t key, std::uintptr_t value);
    void RemoveAll();
    int GetCount() const { return m_array.GetCount(); }
    std::intptr_t GetKeyAt(int index) const;
    std::uintptr_t GetValueAt(int index) const;

private:
    struct Pair {
        std::intptr_t key;
        std::uintptr_t value;
    };
    const Pair* PairAt(int index) const { return static_cast<const Pair*>(m_array.At(index)); }

    CGrowableArray m_array;
};
