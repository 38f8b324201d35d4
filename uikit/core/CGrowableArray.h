// A growable array of fixed-size elements in one malloc'd block: the
// storage of the pointer dictionary and the pointer set. Its capacity is
// always the smallest whole multiple of the grow-by that holds the count;
// new space is zero-filled; an empty array frees its block only when asked
// to (free-when-empty). Out-of-range arguments and failed allocations leave
// the array as it was and return FALSE. Not locked: one thread at a time.
#pragma once

#include <cstddef>

#include "platform/win/WinTypes.h"

class CGrowableArray {
public:
    CGrowableArray(int elementSize, int growBy, int initialSize = 0, bool freeWhenEmpty = false);
    ~CGrowableArray();
    CGrowableArray(const CGrowableArray&) = delete;
    CGrowableArray& operator=(const CGrowableArray&) = delete;

    BOOL SetSize(int count);
    // 0 <= index <= count: n zeroed elements at index, the tail moved up.
    BOOL InsertAt(int index, int n);
    // 0 <= index, index + n <= count: the tail moved down over them.
    BOOL RemoveAt(int index, int n);

    int GetCount() const { return m_count; }
    int GetCapacity() const { return m_capacity; }
    void* At(int index) const;
    void SetFreeWhenEmpty(bool on) { m_freeWhenEmpty = on; }

private:
    BOOL Reserve(int count);

    unsigned char* m_data = nullptr;
    int m_elementSize;
    int m_count = 0;
    int m_capacity = 0;
    int m_growBy;
    bool m_freeWhenEmpty;
};
