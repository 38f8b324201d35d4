#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

#include "uikit/core/MemoryUtil.h"

namespace {

TEST(MulDivTruncate, RoundsTowardZero)
{
    const struct {
        int a, b, c, result;
    } cases[] = {
        {7, 1, 2, 3},
        {-7, 1, 2, -3},
        {7, -1, 2, -3},
        {7, 1, -2, -3},
        {-7, -1, -2, -3},
        {-7, -1, 2, 3},
        {100, 441, 1000, 44},
        {-100, 441, 1000, -44},
        // The product needs 64 bits.
        {2000000000, 3, 4, 1500000000},
        {-2000000000, 3, 4, -1500000000},
        {65536, 65536, 65536, 65536},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDivTruncate(c.a, c.b, c.c), c.result) << c.a << " * " << c.b << " / " << c.c;
}

TEST(MulDivTruncate, ZeroDivisorAndOverflowDoNotFault)
{
    EXPECT_EQ(MulDivTruncate(5, 7, 0), 0);
    EXPECT_EQ(MulDivTruncate(INT_MAX, INT_MAX, 1), INT_MAX);
    EXPECT_EQ(MulDivTruncate(INT_MIN, 1, -1), INT_MAX);
    EXPECT_EQ(MulDivTruncate(INT_MIN, 2, 1), INT_MIN);
}

std::vector<unsigned char> Counting(std::size_t n)
{
    std::vector<unsigned char> v(n);
    std::iota(v.begin(), v.end(), static_cast<unsigned char>(0));
    return v;
}

TEST(CopyMemoryOverlapped, ForwardAndBackwardOverlaps)
{
    const struct {
        const char* name;
        std::size_t from, to, count;
    } cases[] = {
        {"destination above source", 0, 3, 13},
        {"destination below source", 5, 2, 14},
        {"one byte apart, up", 0, 1, 19},
        {"one byte apart, down", 1, 0, 19},
        {"disjoint", 0, 10, 7},
        {"nothing", 4, 2, 0},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> buffer = Counting(24);
        std::vector<unsigned char> expected = buffer;
        for (std::size_t i = 0; i < c.count; ++i)
            expected[c.to + i] = buffer[c.from + i];
        CopyMemoryOverlapped(buffer.data() + c.to, buffer.data() + c.from, c.count);
        EXPECT_EQ(buffer, expected) << c.name;
    }
}

TEST(FillMemoryPattern, WholeWordsThenTheLowBytesOfTheTail)
{
    for (std::size_t count : {0u, 3u, 4u, 9u, 11u}) {
        std::vector<unsigned char> buffer(16, 0xEE);
        FillMemoryPattern(buffer.data() + 1, 0x44332211u, count);
        std::vector<unsigned char> expected(16, 0xEE);
        // Words are stored as the machine stores them: low byte first here.
        for (std::size_t i = 0; i < count; ++i)
            expected[1 + i] = static_cast<unsigned char>(0x11 * (i % 4 + 1));
        EXPECT_EQ(buffer, expected) << count << " bytes";
    }
}

}  // namespace
