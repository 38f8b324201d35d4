#include "platform/win/MulDiv.h"

#include <cstdint>
#include <limits>

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    std::int64_t p = static_cast<std::int64_t>(a) * b;
    const bool negative = (p < 0) != (c < 0);
    std::int64_t n = p < 0 ? -p : p;
    const std::int64_t d = c < 0 ? -static_cast<std::int64_t>(c) : c;
    std::int64_t q = (n + d / 2) / d;
    if (negative)
        q = -q;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min())
        return -1;
    return static_cast<int>(q);
}
