#include "uikit/core/CPtrToPtrDict.h"

CPtrToPtrDict::CPtrToPtrDict(int growBy, int initialSize, bool freeWhenEmpty)
    : m_array(sizeof(Pair), growBy, 0, freeWhenEmpty)
{
    (void)initialSize;  // a sorted map starts empty; the size is only a hint
}

CPtrToPtrDict::~CPtrToPtrDict()
{
    m_array.SetFreeWhenEmpty(true);
    m_array.SetSize(0);
}

int CPtrToPtrDict::Find(std::intptr_t key) const
{
    const int count = GetCount();
    if (count == 0 || PairAt(count - 1)->key < key)
        return count;
    // Bisect to a range that holds the answer (stopping early on an equal
    // key), then scan forward from its lower end to the first key not smaller.
    int low = 0;
    int high = count - 1;
    while (low < high) {
        const int mid = low + (high - low) / 2;
        const std::intptr_t k = PairAt(mid)->key;
        if (k == key) {
            low = mid;
            break;
        }
        if (k < key)
            low = mid + 1;
        else
            high = mid;
    }
    while (low > 0 && PairAt(low - 1)->key >= key)
        --low;
    while (low < count && PairAt(low)->key < key)
        ++low;
    return low;
}

BOOL CPtrToPtrDict::Lookup(std::intptr_t key, std::uintptr_t* value) const
{
    const int at = Find(key);
    if (at >= GetCount() || PairAt(at)->key != key)
        return FALSE;
    if (value)
        *value = PairAt(at)->value;
    return TRUE;
}

BOOL CPtrToPtrDict::SetAt(std::intptr_t key, std::uintptr_t value)
{
    const int at = Find(key);
    if (at < GetCount() && PairAt(at)->key == key)
        return FALSE;
    if (!m_array.InsertAt(at, 1))
        return FALSE;
    auto* pair = static_cast<Pair*>(m_array.At(at));
    pair->key = key;
    pair->value = value;
    return TRUE;
}

void CPtrToPtrDict::RemoveAll()
{
    m_array.SetSize(0);
}

std::intptr_t CPtrToPtrDict::GetKeyAt(int index) const
{
    const Pair* p = PairAt(index);
    return p ? p->key : 0;
}

std::uintptr_t CPtrToPtrDict::GetValueAt(int index) const
{
    const Pair* p = PairAt(index);
    return p ? p->value : 0;
}
