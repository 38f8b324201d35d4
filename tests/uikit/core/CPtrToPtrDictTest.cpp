// The pointer dictionary, its pointer set and their growable array: sorted
// unique keys as wide as a pointer, insertion order in the set, capacity in
// whole multiples of the grow-by, and refused arguments that change nothing.
#include "uikit/core/CPtrToPtrDict.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "uikit/core/CPtrSet.h"

namespace {

TEST(CPtrToPtrDict, KeepsKeysSortedAndUnique)
{
    CPtrToPtrDict dict(4);
    const std::intptr_t keys[] = {50, -3, 20, 7, 100, 0};
    for (std::intptr_t k : keys)
        EXPECT_TRUE(dict.SetAt(k, static_cast<std::uintptr_t>(k * 10)));
    ASSERT_EQ(dict.GetCount(), 6);
    const std::intptr_t sorted[] = {-3, 0, 7, 20, 50, 100};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(dict.GetKeyAt(i), sorted[i]);
    // A present key is refused and keeps its value.
    EXPECT_FALSE(dict.SetAt(20, 1));
    std::uintptr_t v = 0;
    EXPECT_TRUE(dict.Lookup(20, &v));
    EXPECT_EQ(v, 200u);
    EXPECT_TRUE(dict.Lookup(-3, nullptr));
    // Between two present keys: not found.
    EXPECT_FALSE(dict.Lookup(8, &v));
    const struct {
        std::intptr_t key;
        int index;
    } finds[] = {{-10, 0}, {-3, 0}, {1, 2}, {20, 3}, {21, 4}, {100, 5}, {101, 6}};
    for (const auto& f : finds)
        EXPECT_EQ(dict.Find(f.key), f.index) << f.key;
    dict.RemoveAll();
    EXPECT_EQ(dict.GetCount(), 0);
    EXPECT_FALSE(dict.Lookup(20, nullptr));
}

TEST(CPtrToPtrDict, PointersThatAgreeInTheirLow32BitsStayApart)
{
    CPtrToPtrDict dict;
    const std::intptr_t low = 0x1000;
    const std::intptr_t high = static_cast<std::intptr_t>((std::uint64_t{1} << 40) | 0x1000);
    EXPECT_TRUE(dict.SetAt(low, 1));
    EXPECT_TRUE(dict.SetAt(high, 2));
    std::uintptr_t v = 0;
    EXPECT_TRUE(dict.Lookup(high, &v));
    EXPECT_EQ(v, 2u);
    int object = 0;
    EXPECT_TRUE(dict.SetAt(reinterpret_cast<std::intptr_t>(&object), 3));
    EXPECT_TRUE(dict.Lookup(reinterpret_cast<std::intptr_t>(&object), &v));
    EXPECT_EQ(v, 3u);
}

TEST(CGrowableArray, CapacityIsTheSmallestMultipleOfGrowByThatHoldsTheCount)
{
    CGrowableArray a(8, 16, 0, true);
    EXPECT_TRUE(a.SetSize(16));
    EXPECT_EQ(a.GetCapacity(), 16);
    EXPECT_TRUE(a.InsertAt(16, 1));  // the 17th
    EXPECT_EQ(a.GetCapacity(), 32);
    EXPECT_TRUE(a.RemoveAt(0, 17));
    EXPECT_EQ(a.GetCapacity(), 0);  // freed when empty
    CGrowableArray kept(8, 16, 0, false);
    kept.SetSize(3);
    kept.SetSize(0);
    EXPECT_EQ(kept.GetCapacity(), 16);  // kept when not asked to free
}

TEST(CGrowableArray, OutOfRangeArgumentsChangeNothing)
{
    CGrowableArray a(4, 4);
    a.SetSize(3);
    *static_cast<int*>(a.At(2)) = 7;
    EXPECT_FALSE(a.InsertAt(4, 1));
    EXPECT_FALSE(a.InsertAt(-1, 1));
    EXPECT_FALSE(a.RemoveAt(2, 2));
    EXPECT_FALSE(a.RemoveAt(-1, 1));
    EXPECT_FALSE(a.SetSize(-1));
    EXPECT_EQ(a.GetCount(), 3);
    EXPECT_EQ(*static_cast<int*>(a.At(2)), 7);
    EXPECT_EQ(a.At(3), nullptr);
    // Inserting moves the tail up and zero-fills the gap.
    EXPECT_TRUE(a.InsertAt(1, 2));
    EXPECT_EQ(*static_cast<int*>(a.At(4)), 7);
    EXPECT_EQ(*static_cast<int*>(a.At(1)), 0);
}

TEST(CPtrSet, KeepsInsertionOrderNotPointerOrder)
{
    int cells[3] = {};
    CPtrSet set;
    EXPECT_TRUE(set.Add(&cells[2]));
    EXPECT_TRUE(set.Add(&cells[0]));
    EXPECT_TRUE(set.Add(&cells[1]));
    EXPECT_FALSE(set.Add(&cells[0]));
    ASSERT_EQ(set.GetCount(), 3);
    EXPECT_EQ(set.GetAt(0), &cells[2]);
    EXPECT_EQ(set.GetAt(1), &cells[0]);
    EXPECT_EQ(set.GetAt(2), &cells[1]);
    EXPECT_TRUE(set.Remove(&cells[0]));
    EXPECT_FALSE(set.Remove(&cells[0]));
    EXPECT_EQ(set.GetAt(1), &cells[1]);
}

}  // namespace
