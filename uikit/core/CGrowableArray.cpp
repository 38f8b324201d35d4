#include "uikit/core/CGrowableArray.h"

#include <climits>
#include <cstdlib>
#include <cstring>

CGrowableArray::CGrowableArray(int elementSize, int growBy, int initialSize, bool freeWhenEmpty)
    : m_elementSize(elementSize > 0 ? elementSize : 1), m_growBy(growBy > 0 ? growBy : 1), m_freeWhenEmpty(freeWhenEmpty)
{
    if (initialSize > 0)
        SetSize(initialSize);
}

CGrowableArray::~CGrowableArray()
{
    std::free(m_data);
}

void* CGrowableArray::At(int index) const
{
    if (index < 0 || index >= m_count)
        return nullptr;
    return m_data + static_cast<std::size_t>(index) * static_cast<std::size_t>(m_elementSize);
}

// Sizes the block for `count` elements; the count itself is not changed.
BOOL CGrowableArray::Reserve(int count)
{
    if (count == 0 && !m_freeWhenEmpty)
        return TRUE;  // an empty array keeps its block unless told otherwise
    const long long blocks = (static_cast<long long>(count) + m_growBy - 1) / m_growBy;
    const long long capacity = blocks * m_growBy;
    if (capacity > INT_MAX || capacity * m_elementSize > static_cast<long long>(SIZE_MAX / 2))
        return FALSE;
    if (capacity == m_capacity)
        return TRUE;
    if (capacity == 0) {
        std::free(m_data);
        m_data = nullptr;
        m_capacity = 0;
        return TRUE;
    }
    const std::size_t bytes = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(m_elementSize);
    auto* grown = static_cast<unsigned char*>(std::realloc(m_data, bytes));
    if (!grown)
        return FALSE;
    const std::size_t old = static_cast<std::size_t>(m_capacity) * static_cast<std::size_t>(m_elementSize);
    if (bytes > old)
        std::memset(grown + old, 0, bytes - old);
    m_data = grown;
    m_capacity = static_cast<int>(capacity);
    return TRUE;
}

BOOL CGrowableArray::SetSize(int count)
{
    if (count < 0 || !Reserve(count))
        return FALSE;
    if (count > m_count)
        std::memset(m_data + static_cast<std::size_t>(m_count) * m_elementSize, 0,
                    static_cast<std::size_t>(count - m_count) * m_elementSize);
    m_count = count;
    return TRUE;
}

BOOL CGrowableArray::InsertAt(int index, int n)
{
    if (index < 0 || index > m_count || n < 0 || n > INT_MAX - m_count)
        return FALSE;
    if (n == 0)
        return TRUE;
    const int old = m_count;
    if (!Reserve(old + n))
        return FALSE;
    const std::size_t size = static_cast<std::size_t>(m_elementSize);
    std::memmove(m_data + (index + n) * size, m_data + index * size, (old - index) * size);
    std::memset(m_data + index * size, 0, n * size);
    m_count = old + n;
    return TRUE;
}

BOOL CGrowableArray::RemoveAt(int index, int n)
{
    if (index < 0 || n < 0 || n > m_count - index)
        return FALSE;
    const std::size_t size = static_cast<std::size_t>(m_elementSize);
    std::memmove(m_data + index * size, m_data + (index + n) * size, (m_count - index - n) * size);
    m_count -= n;
    Reserve(m_count);  // shrinking never fails where it matters: the data stays
    return TRUE;
}
