#include "platform/win/MulDiv.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroAndRefusesWhatDoesNotFit)
{
    struct Case {
        const char* name;
        int a, b, c;
        int want;
    };
    const Case cases[] = {
        {"exact", 8, 96, 72, 11},          // 10.67 -> 11
        {"half up", 1, 3, 2, 2},           // 1.5 -> 2
        {"half away below zero", -1, 3, 2, -2},
        {"negative divisor", 7, 1, -2, -4},  // -3.5 -> -4
        {"64-bit product", 100000, 100000, 100000, 100000},
        {"zero divisor", 5, 5, 0, -1},
        {"too large", INT_MAX, 2, 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.name;
}

}  // namespace
