#include "uikit/core/CPtrSet.h"

CPtrSet::CPtrSet(int growBy) : m_array(sizeof(void*), growBy, 0, true) {}

int CPtrSet::IndexOf(void* p) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (GetAt(i) == p)
            return i;
    return -1;
}

void* CPtrSet::GetAt(int index) const
{
    void* const* slot = static_cast<void* const*>(m_array.At(index));
    return slot ? *slot : nullptr;
}

BOOL CPtrSet::Add(void* p)
{
    if (Contains(p) || !m_array.InsertAt(GetCount(), 1))
        return FALSE;
    *static_cast<void**>(m_array.At(GetCount() - 1)) = p;
    return TRUE;
}

BOOL CPtrSet::Remove(void* p)
{
    const int at = IndexOf(p);
    return at >= 0 && m_array.RemoveAt(at, 1);
}
