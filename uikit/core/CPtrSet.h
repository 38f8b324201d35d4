// A set of pointers in the order they were added (so what a user sees in
// that order stays stable from run to run), each at most once.
// Not locked: one thread at a time.
#pragma once

#include "uikit/core/CGrowableArray.h"

class CPtrSet {
public:
    explicit CPtrSet(int growBy = 16);

    // TRUE when added; FALSE when already there (or memory ran out).
    BOOL Add(void* p);
    BOOL Remove(void* p);
    bool Contains(void* p) const { return IndexOf(p) >= 0; }
    int IndexOf(void* p) const;
    void RemoveAll() { m_array.SetSize(0); }
    int GetCount() const { return m_array.GetCount(); }
    void* GetAt(int index) const;

private:
    CGrowableArray m_array;
};
