#include "uikit/core/MemoryUtil.h"

#include <climits>
#include <cstring>

int MulDivTruncate(int a, int b, int c)
{
    if (c == 0)
        return 0;
    // C++ integer division truncates toward zero, as the callers expect.
    long long q = static_cast<long long>(a) * b / c;
    if (q > INT_MAX)
        return INT_MAX;
    if (q < INT_MIN)
        return INT_MIN;
    return static_cast<int>(q);
}

void CopyMemoryOverlapped(void* destination, const void* source, std::size_t count)
{
    std::memmove(destination, source, count);
}

void FillMemoryPattern(void* destination, DWORD pattern, std::size_t count)
{
    auto* out = static_cast<unsigned char*>(destination);
    std::size_t words = count / sizeof pattern;
    for (std::size_t i = 0; i < words; ++i, out += sizeof pattern)
        std::memcpy(out, &pattern, sizeof pattern);
    for (std::size_t i = 0; i < count % sizeof pattern; ++i)
        out[i] = static_cast<unsigned char>(pattern >> (8 * i));
}
